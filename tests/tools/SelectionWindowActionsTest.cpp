// The document window's selection commands with its real tools: select
// all, and when crop and fill are offered.
#include <gtest/gtest.h>

#include "SelectionSupport.h"
#include "TestSupport.h"
#include "appkit/Application.h"
#include "appkit/MenuItem.h"
#include "foundation/IndexSet.h"
#include "tools/IMCropMarkerTool.h"
#include "tools/IMLassoTool.h"
#include "window/IMLayersArrayController.h"
#include "window/IMWindowController.h"

namespace {

bool enabled(ToolWindow& w, const char* action) {
  ui::MenuItem item(QStringLiteral("item"), QString::fromLatin1(action));
  return w.window->validateUserInterfaceItem(item);
}

}  // namespace

// Select all takes the whole canvas with the rectangle tool, made current,
// and removes a lasso selection; crop is offered for a rectangle selection
// only, fill only with a selected layer.
TEST(SelectionWindowActions, SelectAllCropAndFillAreOfferedWhenTheyCanAct) {
  ToolWindow w;
  ASSERT_TRUE(w.isOpen());
  IMToolsController* tools = w.tools();
  EXPECT_FALSE(enabled(w, "crop:"));
  EXPECT_TRUE(enabled(w, "fill:"));
  ASSERT_TRUE(tools->selectToolOfClass<IMLassoTool>());
  w.press({100, 100});
  w.drag({200, 100});
  w.drag({100, 200});
  w.release({100, 200});
  ASSERT_TRUE(tools->lassoSelectionTool()->hasSelection());
  EXPECT_FALSE(enabled(w, "crop:")) << "a lasso selection is not cropped to";

  ASSERT_TRUE(ui::Application::sharedApplication()->sendAction("selectAll:", w.window));
  EXPECT_FALSE(tools->lassoSelectionTool()->hasSelection());
  EXPECT_EQ(tools->selectedTool(), tools->rectSelectionTool());
  EXPECT_EQ(tools->selectedRect(), QRectF(0, 0, 400, 300));
  EXPECT_TRUE(enabled(w, "crop:"));

  w.layers()->setSelectionIndexes(fnd::IndexSet());
  EXPECT_FALSE(enabled(w, "fill:")) << "no layer to fill";
}
