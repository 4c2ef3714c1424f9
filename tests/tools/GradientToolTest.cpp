// The gradient tool through a document window's canvas: linear with the
// Shift constraint, radial by the pointer's distance, a click alone, and
// the selection clipping it; read from its own layer.
#include <gtest/gtest.h>

#include <QDir>
#include <cmath>

#include "TestSupport.h"
#include "ToolPixels.h"
#include "ToolWindow.h"
#include "foundation/UndoManager.h"
#include "foundation/UserDefaults.h"
#include "model/ComposedImage.h"
#include "model/Image.h"
#include "model/Layer.h"
#include "model/Settings.h"
#include "tools/IMGradientTool.h"
#include "window/IMLayersArrayController.h"
#include "window/IMWindowController.h"

using tooltest::flattened;
using tooltest::layerColorAt;

namespace {

struct GradientWindow : ToolWindow {
  explicit GradientWindow(quint64 mode) {
    fnd::UserDefaults::standardUserDefaults().setBool(true, "IMDrawingWithoutMerging");
    gradient = tools()->toolForClass<IMGradientTool>();
    std::shared_ptr<Settings> settings = window->composedImage()->settings();
    settings->setColor1(QColor(255, 0, 0));
    settings->setColor2(QColor(0, 0, 255));
    gradient->setMode(mode);
    layers()->setSelectionIndex(2);
  }
  ~GradientWindow() {
    fnd::UserDefaults::standardUserDefaults().setBool(false, "IMDrawingWithoutMerging");
  }
  Layer* drawn() const { return tools()->workingLayer(); }
  IMGradientTool* gradient = nullptr;
};

bool near(const QColor& a, const QColor& b, int tolerance = 3) {
  return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance &&
         std::abs(a.blue() - b.blue()) <= tolerance && std::abs(a.alpha() - b.alpha()) <= tolerance;
}

const QColor kRed(255, 0, 0), kBlue(0, 0, 255);

int cacheFileCount() {
  return int(QDir(Image::imagesCacheDirectoryPath()).entryList(QDir::Files).size());
}

// The flattened document once every version file is written and every
// layer holds its current version.
QImage settledPicture(ToolWindow& w) {
  EXPECT_TRUE(tst::spinUntil([&] {
    if (Image::pendingCacheWrites() > 0) return false;
    for (Layer* layer : w.arrangedLayers())
      if (layer->image() && !layer->image()->isCurrentVersionInMemory()) return false;
    return true;
  }));
  return flattened(w.window->composedImage());
}

struct DragOutcome {
  int filesWritten = 0;
  QImage before, after, undone, redone;
};

// A radial drag from (200, 150) to (320, 190) in `events` steps, merged
// down, the event loop turning between events; then undone and redone.
DragOutcome radialDragIn(int events) {
  GradientWindow w(1);
  DragOutcome outcome;
  if (!w.isOpen() || !w.tools()->selectToolOfClass<IMGradientTool>()) return outcome;
  fnd::UserDefaults::standardUserDefaults().setBool(false, "IMDrawingWithoutMerging");
  outcome.before = settledPicture(w);
  const int files = cacheFileCount();
  w.press({200, 150});
  for (int i = 1; i <= events; ++i) {
    w.drag(QPointF(200, 150) + QPointF(120, 40) * i / events);
    tst::spinOnce();
  }
  w.release({320, 190});
  outcome.after = settledPicture(w);
  outcome.filesWritten = cacheFileCount() - files;
  w.undoManager()->undo();
  outcome.undone = settledPicture(w);
  w.undoManager()->redo();
  outcome.redone = settledPicture(w);
  return outcome;
}

}  // namespace

TEST(GradientTool, LinearFollowsShiftConstraint) {
  GradientWindow w(0);
  ASSERT_TRUE(w.isOpen());
  ASSERT_TRUE(w.tools()->selectToolOfClass<IMGradientTool>());
  w.press({100, 100}, Qt::ShiftModifier);
  w.drag({200, 130}, Qt::ShiftModifier);
  w.release({200, 130}, Qt::ShiftModifier);
  Layer* layer = w.drawn();
  ASSERT_EQ(w.arrangedLayers().size(), 4);
  EXPECT_TRUE(near(layerColorAt(layer, 50, 100), kRed));
  EXPECT_TRUE(near(layerColorAt(layer, 250, 100), kBlue));
  const QColor middle = layerColorAt(layer, 150, 20);
  EXPECT_TRUE(near(middle, QColor(127, 0, 127), 4)) << middle.name().toStdString();
  for (int y : {0, 100, 299}) EXPECT_TRUE(near(layerColorAt(layer, 150, y), middle)) << y;
}

TEST(GradientTool, RadialUsesThePointerDistance) {
  GradientWindow w(1);
  ASSERT_TRUE(w.isOpen());
  ASSERT_TRUE(w.tools()->selectToolOfClass<IMGradientTool>());
  w.press({200, 100}, Qt::ShiftModifier);
  w.drag({300, 130}, Qt::ShiftModifier);  // Shift ignored: radius 104.4
  w.release({300, 130}, Qt::ShiftModifier);
  Layer* layer = w.drawn();
  EXPECT_TRUE(near(layerColorAt(layer, 200, 100), kRed, 4));
  EXPECT_TRUE(near(layerColorAt(layer, 200, 206), kBlue));
  EXPECT_TRUE(near(layerColorAt(layer, 94, 100), kBlue));
  const QColor half = layerColorAt(layer, 252, 100);
  EXPECT_TRUE(near(half, QColor(127, 0, 127), 6)) << half.name().toStdString();
}

// A click alone gives colour 2 everywhere, in both modes.
TEST(GradientTool, ClickWithoutDragIsColourTwo) {
  for (quint64 mode : {0, 1}) {
    GradientWindow w(mode);
    ASSERT_TRUE(w.isOpen());
    ASSERT_TRUE(w.tools()->selectToolOfClass<IMGradientTool>());
    w.press({150, 150});
    w.release({150, 150});
    Layer* layer = w.drawn();
    for (QPoint p : {QPoint(0, 0), QPoint(150, 150), QPoint(399, 299)})
      EXPECT_TRUE(near(layerColorAt(layer, p.x(), p.y()), kBlue, 0)) << mode;
  }
}

TEST(GradientTool, SelectionClipsTheGradient) {
  GradientWindow w(0);
  ASSERT_TRUE(w.isOpen());
  w.tools()->setRectSelectedRect(QRectF(100, 50, 100, 100));
  ASSERT_TRUE(w.tools()->selectToolOfClass<IMGradientTool>());
  w.press({0, 0});
  w.drag({400, 0});
  w.release({400, 0});
  Layer* layer = w.drawn();
  EXPECT_EQ(layerColorAt(layer, 150, 100).alpha(), 255);
  EXPECT_EQ(layerColorAt(layer, 50, 100).alpha(), 0);
  EXPECT_EQ(layerColorAt(layer, 150, 200).alpha(), 0);
  EXPECT_EQ(layerColorAt(layer, 250, 100).alpha(), 0);
}

// Only the end of a drag is kept: the states on the way write no version
// file, and the merged picture, its undo and its redo are those of a drag
// made straight to the end point.
TEST(GradientTool, DragKeepsOnlyItsEndState) {
  const DragOutcome straight = radialDragIn(1), winding = radialDragIn(8);
  ASSERT_FALSE(straight.after.isNull());
  ASSERT_FALSE(winding.after.isNull());
  EXPECT_EQ(winding.filesWritten, straight.filesWritten);
  EXPECT_LE(winding.filesWritten, 2);  // the merged layer's, the temporary layer's
  EXPECT_NE(winding.after, winding.before);
  EXPECT_EQ(winding.after, straight.after);
  EXPECT_TRUE(near(tooltest::flattenedColorAt(winding.after, 200, 150), kRed, 4));
  EXPECT_EQ(winding.undone, winding.before);
  EXPECT_EQ(winding.redone, winding.after);
}
