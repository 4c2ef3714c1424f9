// Cropping a document with a hidden layer, a destination-out layer and a
// text layer: the canvas crop of the window's command and the crop of the
// layers' pixels, each undone in one step.
#include <gtest/gtest.h>

#include "SelectionSupport.h"
#include "TestSupport.h"
#include "appkit/Application.h"
#include "appkit/MenuItem.h"
#include "foundation/UndoManager.h"
#include "graphics/AttributedString.h"
#include "graphics/CGImage.h"
#include "model/ComposedImage.h"
#include "model/Image.h"
#include "model/Layer.h"
#include "model/TextLayer.h"
#include "tools/IMCropMarkerTool.h"
#include "window/IMLayersArrayController.h"
#include "window/IMWindowController.h"

using seltest::colorAt;
using seltest::flatten;

namespace {

constexpr int kDestinationOut = 8;
const QRectF kCrop(40, 10, 260, 200);

// Top first: Bar (destination-out), a text, Sun (hidden), Ground; and a
// rectangle selection of kCrop made with the mouse.
void prepare(ToolWindow& w) {
  w.layerNamed("Bar")->setCompositingOperation(kDestinationOut);
  w.layerNamed("Sun")->setVisible(false);
  auto* text = dynamic_cast<TextLayer*>(w.layers()->obtainANewLayerAtIndex(1, true));
  ASSERT_TRUE(text);
  text->setAttributedString(gfx::AttributedString("Crop", gfx::Font(), QColor(250, 220, 0)));
  text->setOrigin({60, 120});
  tst::spinOnce();
  w.undoManager()->removeAllActions();
  ASSERT_TRUE(w.tools()->selectToolOfClass<IMCropMarkerTool>());
  w.press(kCrop.topLeft());
  w.drag({300, 210});
  w.release({300, 210});
  ASSERT_EQ(w.tools()->selectedRect(), kCrop);
}

// The part `rect` (document coordinates) of a flattened canvas of `height`.
QImage part(const QImage& image, const QRectF& rect) {
  return image.copy(
      QRectF(rect.x(), image.height() - rect.y() - rect.height(), rect.width(), rect.height())
          .toRect());
}

int largestDifference(const QImage& a, const QImage& b) {
  if (a.size() != b.size()) return 256;
  int largest = 0;
  for (int y = 0; y < a.height(); ++y)
    for (int x = 0; x < a.width(); ++x) {
      const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
      largest = std::max({largest, std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                          std::abs(qBlue(p) - qBlue(q)), std::abs(qAlpha(p) - qAlpha(q))});
    }
  return largest;
}

QImage layerPixels(Layer* layer) {
  gfx::ImagePtr image = layer->image() ? layer->image()->nsImage() : nullptr;
  gfx::CGImagePtr pixels = image ? image->CGImageForProposedRect(nullptr, nullptr) : nullptr;
  return pixels ? pixels->toFormat(QImage::Format_ARGB32) : QImage();
}

}  // namespace

// The window's crop: the canvas becomes the rectangle and the layers move;
// nothing else changes, and one undo brings the canvas back.
TEST(SelectionCrop, TheCanvasCropMovesLayersAndKeepsEverythingElse) {
  ToolWindow w;
  ASSERT_TRUE(w.isOpen());
  prepare(w);
  const QList<Layer*> stack = w.arrangedLayers();
  const QImage before = flatten(w);
  ASSERT_TRUE(ui::Application::sharedApplication()->sendAction("crop:", w.window));
  tst::spinOnce();
  ComposedImage* composed = w.window->composedImage();
  EXPECT_EQ(composed->size(), QSizeF(260, 200));
  EXPECT_EQ(w.arrangedLayers(), stack);
  EXPECT_EQ(w.layerNamed("Ground")->origin(), QPointF(-40, -10));
  EXPECT_EQ(w.layerNamed("Sun")->origin(), QPointF(180, 140));
  EXPECT_FALSE(w.layerNamed("Sun")->visible());
  EXPECT_EQ(w.layerNamed("Bar")->compositingOperation(), kDestinationOut);
  EXPECT_EQ(flatten(w), part(before, kCrop));
  EXPECT_FALSE(w.tools()->hasSelection());

  w.undoManager()->undo();
  tst::spinOnce();
  EXPECT_EQ(composed->size(), QSizeF(400, 300));
  EXPECT_EQ(w.layerNamed("Ground")->origin(), QPointF(0, 0));
  EXPECT_EQ(flatten(w), before);
}

// The layers' crop keeps each layer's look inside the rectangle: the
// hidden layer stays hidden with its pixels, the destination-out layer
// keeps its operation and its pixels, and the text becomes a bitmap layer
// in its place. One undo restores all of it.
TEST(SelectionCrop, TheLayersCropKeepsHiddenOperationAndStackPlace) {
  ToolWindow w;
  ASSERT_TRUE(w.isOpen());
  prepare(w);
  const QList<Layer*> stack = w.arrangedLayers();
  ASSERT_EQ(stack.size(), 4);
  ASSERT_TRUE(stack[1]->isText());
  const QImage before = flatten(w);
  w.tools()->destructiveCropLayers(stack);
  tst::spinOnce();

  const QList<Layer*> after = w.arrangedLayers();
  ASSERT_EQ(after.size(), 4);
  EXPECT_EQ(after[0], stack[0]);
  EXPECT_FALSE(after[1]->isText()) << "the text's pixels, in the text's place";
  EXPECT_EQ(after[2], stack[2]);
  EXPECT_EQ(after[3], stack[3]);
  Layer* sun = w.layerNamed("Sun");
  EXPECT_FALSE(sun->visible());
  EXPECT_EQ(sun->origin(), kCrop.topLeft());
  const QImage sunPixels = layerPixels(sun);
  EXPECT_EQ(sunPixels.size(), QSize(260, 200));
  EXPECT_EQ(colorAt(sunPixels, 200, 160), QColor(230, 40, 30)) << "the hidden layer's pixels";
  Layer* bar = w.layerNamed("Bar");
  EXPECT_EQ(bar->compositingOperation(), kDestinationOut);
  EXPECT_EQ(colorAt(layerPixels(bar), 100, 20), QColor(30, 60, 220));
  EXPECT_LE(largestDifference(part(flatten(w), kCrop), part(before, kCrop)), 2);
  EXPECT_EQ(colorAt(flatten(w), 20, 100).alpha(), 0) << "nothing left outside the rectangle";

  w.undoManager()->undo();
  tst::spinOnce();
  EXPECT_EQ(w.arrangedLayers(), stack);
  EXPECT_TRUE(w.arrangedLayers()[1]->isText());
  EXPECT_EQ(sun->origin(), QPointF(220, 150));
  EXPECT_EQ(flatten(w), before);
}

// Cropping the text layer alone (as the layers panel's menu does for the
// layers it was opened on) keeps its replacement in the text's place, not
// at the top of the stack.
TEST(SelectionCrop, ATextCroppedAloneKeepsItsPlaceInTheStack) {
  ToolWindow w;
  ASSERT_TRUE(w.isOpen());
  prepare(w);
  const QList<Layer*> stack = w.arrangedLayers();
  w.tools()->destructiveCropLayers({stack[1]});
  tst::spinOnce();
  const QList<Layer*> after = w.arrangedLayers();
  ASSERT_EQ(after.size(), 4);
  EXPECT_EQ(after[0], stack[0]);
  EXPECT_FALSE(after[1]->isText());
  EXPECT_EQ(after[1]->origin(), kCrop.topLeft());
}
