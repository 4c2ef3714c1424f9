// The zoom, text and colour-picker tools through a document window's
// canvas: zoom about the click, a text layer placed, edited and edited
// again, and colours picked at the image's corners and outside it.
#include <gtest/gtest.h>

#include <QTextCursor>
#include <QTextEdit>

#include "TestSupport.h"
#include "ToolWindow.h"
#include "appkit/Popover.h"
#include "appkit/ScrollView.h"
#include "foundation/UndoManager.h"
#include "model/ComposedImage.h"
#include "model/Image.h"
#include "model/Layer.h"
#include "model/Settings.h"
#include "model/TextLayer.h"
#include "tools/IMAPipetteTool.h"
#include "tools/IMLayerDragingTool.h"
#include "tools/IMMagnifyingGlassTool.h"
#include "tools/IMTextTool.h"
#include "window/IMLayersArrayController.h"
#include "window/IMView.h"
#include "window/IMWindowController.h"
#include "window/ThreeLayerDocument.h"

namespace {

// Where a document point shows in the scroll view's viewport.
QPointF onScreen(ToolWindow& w, const QPointF& documentPoint) {
  return w.canvas()->mapTo(w.canvas()->parentWidget(), w.widgetPointOf(documentPoint));
}

void click(ToolWindow& w, const QPointF& p, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
  w.press(p, modifiers);
  w.release(p, modifiers);
  tst::spinOnce();
}

void typeInto(QTextEdit* view, const QString& text) {
  QTextCursor cursor = view->textCursor();
  cursor.select(QTextCursor::Document);
  cursor.insertText(text);
}

}  // namespace

TEST(ZoomTool, ZoomsAboutTheClickAndOutWithOption) {
  ToolWindow w;
  ASSERT_TRUE(w.isOpen());
  ASSERT_TRUE(w.tools()->selectToolOfClass<IMMagnifyingGlassTool>());
  click(w, {300, 200});
  EXPECT_DOUBLE_EQ(w.window->zoom(), 2);
  const QPointF target(310, 220);
  const QPointF before = onScreen(w, target);
  click(w, target);
  EXPECT_DOUBLE_EQ(w.window->zoom(), 4);
  const QPointF after = onScreen(w, target);
  EXPECT_NEAR(after.x(), before.x(), 1.5);
  EXPECT_NEAR(after.y(), before.y(), 1.5);
  click(w, target, Qt::AltModifier);
  EXPECT_DOUBLE_EQ(w.window->zoom(), 2);
  EXPECT_EQ(w.undoManager()->canUndo(), false) << "zooming is no edit";
}

// The text's baseline at the click, the drag tool current and the text
// open for typing; one undo takes the placing back; the panel edits again.
TEST(TextTool, PlacedEditedAndEditedAgain) {
  ToolWindow w;
  ASSERT_TRUE(w.isOpen());
  ASSERT_TRUE(w.tools()->selectToolOfClass<IMTextTool>());
  click(w, {120, 90});
  ASSERT_EQ(w.arrangedLayers().size(), 4);
  auto* text = dynamic_cast<TextLayer*>(w.tools()->workingLayer());
  ASSERT_TRUE(text);
  EXPECT_EQ(text->xOrigin(), 120);
  EXPECT_NEAR(text->yOrigin(), 90 + text->textMaxDescender(), 0.51);
  EXPECT_LT(text->textMaxDescender(), 0);
  EXPECT_TRUE(dynamic_cast<IMLayerDragingTool*>(w.tools()->selectedTool()));
  QTextEdit* view = w.layers()->textView();
  ASSERT_TRUE(view);
  EXPECT_TRUE(w.layers()->currentPopover());

  typeInto(view, "Hello");
  tst::spinOnce();
  EXPECT_EQ(text->attributedString().string(), "Hello");
  w.layers()->currentPopover()->performClose(nullptr);
  tst::spinOnce();

  w.layers()->doubleClick(nullptr);
  ASSERT_TRUE(w.layers()->textView());
  typeInto(w.layers()->textView(), "Hello again");
  tst::spinOnce();
  EXPECT_EQ(text->attributedString().string(), "Hello again");
  w.layers()->currentPopover()->performClose(nullptr);
  tst::spinOnce();

  while (w.undoManager()->canUndo() && w.arrangedLayers().size() == 4) w.undoManager()->undo();
  tst::spinOnce();
  EXPECT_EQ(w.layerNames(), QStringList({"Bar", "Sun", "Ground"}));
}

// Corners told apart by colour; reads outside the image change nothing;
// Shift picks colour 2; a change to the document is seen by the next pick.
TEST(ColorPicker, CornersOutsideAndChanges) {
  ToolWindow w;
  ASSERT_TRUE(w.isOpen());
  QImage ground(400, 300, QImage::Format_ARGB32);
  ground.fill(QColor(40, 170, 70));
  const QColor topLeft(255, 0, 0), topRight(0, 255, 0), bottomLeft(0, 0, 255),
      bottomRight(255, 255, 0);
  ground.setPixelColor(0, 0, topLeft);
  ground.setPixelColor(399, 0, topRight);
  ground.setPixelColor(0, 299, bottomLeft);
  ground.setPixelColor(399, 299, bottomRight);
  w.layerNamed("Ground")->image()->setNsImage(
      gfx::Image::imageWithCGImage(gfx::CGImage::make(ground)));
  tst::spinOnce();
  std::shared_ptr<Settings> settings = w.window->composedImage()->settings();
  ASSERT_TRUE(w.tools()->selectToolOfClass<IMAPipetteTool>());
  auto* picker = w.tools()->toolForClass<IMAPipetteTool>();

  const struct {
    QPointF at;
    QColor expected;
  } corners[] = {{{0.2, 299.9}, topLeft},
                 {{399.9, 299.5}, topRight},
                 {{0, 0}, bottomLeft},
                 {{399.5, 0.5}, bottomRight}};
  for (const auto& corner : corners) {
    click(w, corner.at);
    EXPECT_EQ(settings->color1().rgb(), corner.expected.rgb())
        << corner.at.x() << "," << corner.at.y();
  }
  const gfx::ImagePtr kept = picker->savedImage();
  EXPECT_TRUE(kept);
  for (QPointF outside : {QPointF(-0.5, 10), QPointF(400, 10), QPointF(10, 300), QPointF(10, -1)}) {
    click(w, outside);
    EXPECT_EQ(settings->color1().rgb(), bottomRight.rgb()) << outside.x() << "," << outside.y();
  }
  EXPECT_EQ(picker->savedImage(), kept) << "not flattened again for each click";

  click(w, {230, 160}, Qt::ShiftModifier);
  EXPECT_EQ(settings->color2().rgb(), QColor(230, 40, 30).rgb());
  EXPECT_EQ(settings->color1().rgb(), bottomRight.rgb());

  w.layerNamed("Sun")->setOrigin({0, 0});
  tst::spinOnce();
  click(w, {10, 10});
  EXPECT_EQ(settings->color1().rgb(), QColor(230, 40, 30).rgb());
}
