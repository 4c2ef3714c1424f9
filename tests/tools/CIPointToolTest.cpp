// The filter point tool through a document window: a point parameter
// chosen in the parameters panel brings the tool up with its handle on the
// point; dragging the handle writes the parameter in its layer's
// coordinates, one undo step per drag; without a layer owning the
// parameter the tool is refused.
#include <gtest/gtest.h>

#include "TestSupport.h"
#include "ToolWindow.h"
#include "coreimage/Filter.h"
#include "coreimage/Vector.h"
#include "documents/IMDocument.h"
#include "foundation/UndoManager.h"
#include "model/Filter.h"
#include "model/FilterParameter.h"
#include "model/IMAManagedObjectContext.h"
#include "model/Layer.h"
#include "tools/IMCIPointTool.h"
#include "tools/IMLayerDragingTool.h"
#include "window/IMFilterParametersArrayController.h"
#include "window/IMLayersArrayController.h"
#include "window/IMView.h"
#include "window/IMWindowController.h"

namespace {

int indexOfCenter(IMFilterParametersArrayController* parameters) {
  const cd::ObjectList rows = parameters->arrangedObjects();
  for (int i = 0; i < rows.size(); ++i)
    if (auto* parameter = dynamic_cast<FilterParameter*>(rows[i]);
        parameter && parameter->name() == "inputCenter")
      return i;
  return -1;
}

QPointF onCanvas(ToolWindow& w, const QPointF& documentPoint) {
  return w.canvas()->transformation().transformPoint(documentPoint);
}

}  // namespace

TEST(CIPointTool, HandleDragWritesTheParameterInOneUndoStep) {
  Filter::loadFilters();
  ToolWindow w;
  ASSERT_TRUE(w.isOpen());
  Layer* sun = w.layerNamed("Sun");
  Filter* pixellate = Filter::createFilterWithName("CIPixellate", w.window->managedObjectContext());
  ASSERT_TRUE(pixellate);
  sun->insertFilter(pixellate, 0);
  w.layers()->setSelectionIndex(1);
  w.window->selectFirstFilter();
  IMFilterParametersArrayController* parameters = w.window->filterParametersController();
  const int center = indexOfCenter(parameters);
  ASSERT_GE(center, 0);
  auto* centre = dynamic_cast<FilterParameter*>(parameters->arrangedObjects()[center]);
  parameters->setSelectionIndexes(fnd::IndexSet());
  w.tools()->selectDefaultTool();
  centre->setPoint({30, 40});
  w.forgetUndo();
  auto* tool = w.tools()->toolForClass<IMCIPointTool>();
  EXPECT_EQ(w.tools()->selectedTool(), w.tools()->toolForClass<IMLayerDragingTool>());

  parameters->setSelectionIndex(center);
  EXPECT_EQ(w.tools()->selectedTool(), tool) << "a chosen point brings the tool up";
  EXPECT_EQ(tool->point(), QPointF(30, 40));
  EXPECT_EQ(tool->clippingRect().center(), onCanvas(w, {250, 190}));

  w.window->setZoom(2);
  w.scrollToShow({250, 190, 40, 50});
  w.press({260, 200});
  EXPECT_EQ(centre->point(), QPointF(40, 50)) << "the Sun's own coordinates";
  w.drag({270, 215});
  w.drag({281, 232});
  w.release({281, 232});
  tst::spinOnce();
  EXPECT_EQ(centre->point(), QPointF(61, 82));
  EXPECT_EQ(tool->point(), QPointF(61, 82));
  const ci::Vector pushed = pixellate->ciFilter()->valueForKey("inputCenter").value<ci::Vector>();
  EXPECT_EQ(pushed.X(), 61);
  EXPECT_EQ(pushed.Y(), 82);
  EXPECT_EQ(tool->clippingRect().center(), onCanvas(w, {281, 232}));
  EXPECT_TRUE(w.document->isDocumentEdited());

  w.undoManager()->undo();
  tst::spinOnce();
  EXPECT_EQ(centre->point(), QPointF(30, 40));
  EXPECT_EQ(tool->point(), QPointF(30, 40)) << "the handle follows the undone point";
  EXPECT_FALSE(w.undoManager()->canUndo()) << "one drag, one step";

  // The handle stays on the image when its layer moves.
  sun->setOrigin({100, 50});
  tst::spinOnce();
  EXPECT_EQ(tool->clippingRect().center(), onCanvas(w, {130, 90}));

  // A parameter of a filter that belongs to no layer has no space to place
  // a point in: the tool gives way and is not offered.
  Filter* loose = Filter::createFilterWithName("CIPixellate", w.window->managedObjectContext());
  cd::ObjectList rows;
  for (FilterParameter* parameter : loose->filterParametersArray()) rows.append(parameter);
  parameters->setContent(rows);
  parameters->setSelectionIndex(indexOfCenter(parameters));
  EXPECT_NE(w.tools()->selectedTool(), tool);
  EXPECT_FALSE(w.tools()->selectToolOfClass<IMCIPointTool>());
}
