// The shape tool through a document window's canvas: each shape and corner
// setting by the pixels it leaves, whole-pixel boxes, Shift squares, the
// selection clipping the shape, and the merge down undone in one step.
#include <gtest/gtest.h>

#include "TestSupport.h"
#include "ToolPixels.h"
#include "ToolWindow.h"
#include "foundation/UndoManager.h"
#include "foundation/UserDefaults.h"
#include "model/ComposedImage.h"
#include "model/Layer.h"
#include "model/Settings.h"
#include "tools/IMBezierPathTool.h"
#include "window/IMLayersArrayController.h"
#include "window/IMWindowController.h"

using tooltest::layerColorAt;

namespace {

const QColor kInk(255, 0, 255);

// The shape tool chosen over "Ground" with its own layer kept apart, so
// the shape's pixels can be read alone.
struct ShapeWindow : ToolWindow {
  explicit ShapeWindow(quint64 mode, double size = 3, double radius = 0) {
    fnd::UserDefaults::standardUserDefaults().setBool(true, "IMDrawingWithoutMerging");
    shape = tools()->toolForClass<IMBezierPathTool>();
    settings = window->composedImage()->settings();
    settings->setPencilSize(size);
    settings->setRoundedCornerRadius(radius);
    settings->setColor1(kInk);
    shape->setMode(mode);
    layers()->setSelectionIndex(2);
  }
  ~ShapeWindow() {
    fnd::UserDefaults::standardUserDefaults().setBool(false, "IMDrawingWithoutMerging");
  }
  // The new layer each shape went into.
  Layer* drawn() const { return tools()->workingLayer(); }
  void stroke(QPointF from, QPointF to, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    press(from, modifiers);
    drag((from + to) / 2, modifiers);
    drag(to, modifiers);
    release(to, modifiers);
  }
  IMBezierPathTool* shape = nullptr;
  std::shared_ptr<Settings> settings;
};

}  // namespace

// Each mode and corner over the box (100..150, 100..130): alpha at the
// edge middle, the centre, a corner and outside.
TEST(ShapeTool, EachShapeCoversWhatItShould) {
  struct Case {
    quint64 mode;
    double radius;
    int edge, centre, corner, outside;  // 1 covered, 0 clear, -1 not checked
    bool antialiased;
  };
  const Case cases[] = {
      {1, 0, 1, 0, 1, 0, false}, {2, 0, 1, 1, 1, 0, false}, {2, 10, 1, 1, 0, 0, true},
      {1, 10, 1, 0, 0, 0, true}, {3, 0, 1, 0, 0, 0, true},  {4, 0, 1, 1, 0, 0, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "mode " << c.mode << " radius " << c.radius);
    ShapeWindow w(c.mode, 3, c.radius);
    ASSERT_TRUE(w.isOpen());
    ASSERT_TRUE(w.tools()->selectToolOfClass<IMBezierPathTool>());
    w.stroke({100.5, 100.5}, {150.5, 130.5});
    ASSERT_EQ(w.arrangedLayers().size(), 4);
    Layer* layer = w.drawn();
    EXPECT_EQ(w.shape->shouldAntialias(), c.antialiased);
    auto covered = [&](int x, int y) { return layerColorAt(layer, x, y).alpha() > 128; };
    EXPECT_EQ(covered(100, 115), bool(c.edge)) << "left edge";
    EXPECT_EQ(covered(125, 115), bool(c.centre)) << "centre";
    EXPECT_EQ(covered(100, 100), bool(c.corner)) << "corner";
    EXPECT_FALSE(covered(96, 115)) << "outside";
    EXPECT_FALSE(covered(125, 135)) << "outside";
    if (c.edge) {
      EXPECT_EQ(layerColorAt(layer, 100, 115).rgb(), kInk.rgb());
    }
  }
}

// Lines run between the start and end pixels' outer corners; a click is a
// dot of the line width; axis lines are crisp.
TEST(ShapeTool, LinesAndDots) {
  ShapeWindow w(0, 3);
  ASSERT_TRUE(w.isOpen());
  ASSERT_TRUE(w.tools()->selectToolOfClass<IMBezierPathTool>());
  w.stroke({100.5, 100.5}, {150.5, 150.5});
  Layer* diagonal = w.drawn();
  EXPECT_GT(layerColorAt(diagonal, 125, 125).alpha(), 200);
  EXPECT_EQ(layerColorAt(diagonal, 140, 110).alpha(), 0);
  int soft = 0;  // antialiased edge pixels
  for (int x = 100; x < 150; ++x) {
    const int alpha = layerColorAt(diagonal, x, 120).alpha();
    soft += alpha > 0 && alpha < 255;
  }
  EXPECT_GT(soft, 0);

  w.stroke({100.5, 200.5}, {180.5, 200.7});
  Layer* horizontal = w.drawn();
  for (int y = 196; y < 206; ++y) {  // crisp: fully inked or clear
    const int alpha = layerColorAt(horizontal, 140, y).alpha();
    EXPECT_TRUE(alpha == 0 || alpha == 255) << y;
  }
  EXPECT_EQ(layerColorAt(horizontal, 140, 200).alpha(), 255);
  EXPECT_EQ(layerColorAt(horizontal, 140, 205).alpha(), 0);

  w.press({300.5, 250.5});
  w.release({300.5, 250.5});
  Layer* dot = w.drawn();
  int inked = 0;
  for (int y = 240; y < 260; ++y)
    for (int x = 290; x < 310; ++x) inked += layerColorAt(dot, x, y).alpha() > 128;
  EXPECT_GE(inked, 4);
  EXPECT_LE(inked, 16);
}

// A box of whole pixels grown by the inset; Shift makes a square keeping
// the start row on top when dragging down.
TEST(ShapeTool, WholePixelBoxesAndShiftSquares) {
  ShapeWindow w(1, 2.3);
  ASSERT_TRUE(w.isOpen());
  ASSERT_TRUE(w.tools()->selectToolOfClass<IMBezierPathTool>());
  EXPECT_EQ(w.shape->lineWidth(), 3);
  EXPECT_EQ(w.shape->insetValue(), 2);
  w.stroke({10.4, 10.4}, {12.6, 10.2});
  EXPECT_EQ(w.shape->selectedRect(), QRectF(8, 8, 7, 5));
  EXPECT_EQ(w.drawn()->origin(), QPointF(8, 8));

  w.shape->setFillRectMode();
  EXPECT_EQ(w.shape->insetValue(), 0);
  w.stroke({100.5, 130.5}, {150.5, 100.5}, Qt::ShiftModifier);
  const QRectF square = w.shape->selectedRect();
  EXPECT_EQ(square.width(), square.height());
  EXPECT_EQ(square.x(), 100);
  EXPECT_EQ(square.y() + square.height() - 1, 130) << "top row kept";
  EXPECT_EQ(layerColorAt(w.drawn(), 101, 129).rgb(), kInk.rgb());
}

// Only the selected part of a shape is drawn.
TEST(ShapeTool, SelectionClipsTheShape) {
  ShapeWindow w(2);
  ASSERT_TRUE(w.isOpen());
  w.tools()->setRectSelectedRect(QRectF(120, 100, 20, 40));
  ASSERT_TRUE(w.tools()->selectToolOfClass<IMBezierPathTool>());
  w.stroke({100.5, 100.5}, {150.5, 130.5});
  Layer* layer = w.drawn();
  EXPECT_EQ(layerColorAt(layer, 125, 115).rgb(), kInk.rgb());
  EXPECT_EQ(layerColorAt(layer, 110, 115).alpha(), 0);
  EXPECT_EQ(layerColorAt(layer, 145, 115).alpha(), 0);
}

// Merged down by default: same layers, the shape in "Ground", one undo.
TEST(ShapeTool, MergedDownAndUndoneInOneStep) {
  ToolWindow w;
  ASSERT_TRUE(w.isOpen());
  w.window->composedImage()->settings()->setColor1(kInk);
  w.tools()->toolForClass<IMBezierPathTool>()->setFillRectMode();
  ASSERT_TRUE(w.tools()->selectToolOfClass<IMBezierPathTool>());
  w.layers()->setSelectionIndex(2);
  const QStringList names = w.layerNames();
  w.press({10.5, 200.5});
  w.drag({40.5, 230.5});
  w.release({40.5, 230.5});
  tst::spinOnce();
  EXPECT_EQ(w.layerNames(), names);
  EXPECT_EQ(layerColorAt(w.layerNamed("Ground"), 20, 210).rgb(), kInk.rgb());
  w.undoManager()->undo();
  tst::spinOnce();
  EXPECT_EQ(w.layerNames(), names);
  EXPECT_EQ(layerColorAt(w.layerNamed("Ground"), 20, 210).rgb(), QColor(40, 170, 70).rgb());
}
