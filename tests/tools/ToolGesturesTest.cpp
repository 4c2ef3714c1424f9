// Pinch, rotation and swipe through the real canvas, from Qt's native
// gestures and from Ctrl+wheel where the desktop sends none: layers zoom
// and turn with the drag tool in one undo step per gesture, the window
// zooms with other tools, swipes cycle tools and layers.
#include <gtest/gtest.h>

#include <cmath>

#include "TestSupport.h"
#include "ToolWindow.h"
#include "foundation/UndoManager.h"
#include "model/IMAManagedObjectContext.h"
#include "model/Layer.h"
#include "window/IMLayersArrayController.h"
#include "window/IMView.h"
#include "window/IMWindowController.h"

TEST(ToolGestures, PinchAndRotationOfLayersAreOneUndoStepEach) {
  ToolWindow w;
  ASSERT_TRUE(w.isOpen());
  ASSERT_EQ(w.tools()->selectedToolIndex(), 0) << "the drag tool";
  w.layers()->setSelectionIndex(1);
  Layer* sun = w.layerNamed("Sun");
  const double zoom = sun->zoom();
  sun->setRotationAngle(10);
  w.window->managedObjectContext()->processPendingChanges();
  w.undoManager()->closeAutomaticGroup();

  w.gesture(Qt::BeginNativeGesture, 0);
  w.gesture(Qt::ZoomNativeGesture, 0.2);
  w.gesture(Qt::ZoomNativeGesture, 0.2);
  w.gesture(Qt::EndNativeGesture, 0);
  EXPECT_NEAR(sun->zoom(), zoom * std::pow(10, 0.2), 1e-5);
  EXPECT_EQ(w.undoManager()->groupingLevel(), 0);

  w.gesture(Qt::BeginNativeGesture, 0);
  w.gesture(Qt::RotateNativeGesture, -20);  // Qt turns clockwise for positive values
  w.gesture(Qt::RotateNativeGesture, -10);
  w.gesture(Qt::EndNativeGesture, 0);
  EXPECT_NEAR(sun->rotationAngle(), 340, 1e-4);
  EXPECT_EQ(w.undoManager()->groupingLevel(), 0);

  w.undoManager()->undo();
  EXPECT_NEAR(sun->rotationAngle(), 10, 1e-4) << "the whole rotation, at once";
  EXPECT_NEAR(sun->zoom(), zoom * std::pow(10, 0.2), 1e-5);
  w.undoManager()->undo();
  EXPECT_NEAR(sun->zoom(), zoom, 1e-6) << "the whole pinch, at once";

  // A gesture whose end never comes is closed by the next mouse-down.
  w.gesture(Qt::ZoomNativeGesture, 0.2);
  EXPECT_TRUE(w.tools()->hasOpenGestureGroup());
  w.press({5, 5});
  EXPECT_FALSE(w.tools()->hasOpenGestureGroup());
  w.release({5, 5});
  EXPECT_EQ(w.undoManager()->groupingLevel(), 0);
}

TEST(ToolGestures, CtrlWheelPinchesAndRotatesInOneUndoStepPerBurst) {
  ToolWindow w;
  ASSERT_TRUE(w.isOpen());
  w.layers()->setSelectionIndex(1);
  Layer* sun = w.layerNamed("Sun");
  const double zoom = sun->zoom();
  const double angle = sun->rotationAngle();

  for (int notch = 0; notch < 3; ++notch) w.wheel({0, 120}, Qt::ControlModifier);
  EXPECT_TRUE(w.canvas()->isInWheelGesture());
  EXPECT_NEAR(sun->zoom(), zoom * std::pow(10, 0.15), 1e-5) << "a notch is a pinch of 0.1";
  ASSERT_TRUE(tst::spinUntil([&] { return !w.canvas()->isInWheelGesture(); }))
      << "the burst ends by itself";
  EXPECT_EQ(w.undoManager()->groupingLevel(), 0);

  w.wheel({0, 120}, Qt::ControlModifier | Qt::ShiftModifier);
  w.wheel({0, 120}, Qt::ControlModifier | Qt::ShiftModifier);
  w.canvas()->endWheelGesture();
  EXPECT_NEAR(sun->rotationAngle(), std::fmod(angle - 30 + 360, 360), 1e-4);

  w.undoManager()->undo();
  EXPECT_NEAR(sun->rotationAngle(), angle, 1e-4);
  w.undoManager()->undo();
  EXPECT_NEAR(sun->zoom(), zoom, 1e-6);

  // Ctrl held as on a real keyboard lends the drag tool, but the wheel's
  // pinch follows the tool chosen: with the brush it zooms the window.
  w.key(Qt::Key_B, Qt::NoModifier, "b");
  w.key(Qt::Key_Control, Qt::ControlModifier);
  const double windowZoom = w.window->zoom();
  const double sunZoom = sun->zoom();
  w.wheel({0, 120}, Qt::ControlModifier);
  w.canvas()->endWheelGesture();
  w.keyUp(Qt::Key_Control, Qt::ControlModifier);
  EXPECT_NEAR(w.window->zoom(), windowZoom * std::pow(10, 0.05), 1e-9);
  EXPECT_DOUBLE_EQ(sun->zoom(), sunZoom) << "the layer stays as it was";

  // Without Ctrl the wheel scrolls and makes no gesture.
  w.wheel({0, -120}, Qt::NoModifier);
  EXPECT_FALSE(w.canvas()->isInWheelGesture());
}

// With a tool other than the drag tool the window zooms; non-finite values
// change nothing.
TEST(ToolGestures, PinchZoomsTheWindowAndSwipesCycle) {
  ToolWindow w;
  ASSERT_TRUE(w.isOpen());
  IMToolsController* tools = w.tools();
  w.key(Qt::Key_B, Qt::NoModifier, "b");
  const double zoom = w.window->zoom();
  w.gesture(Qt::ZoomNativeGesture, 0.2);
  EXPECT_NEAR(w.window->zoom(), zoom * std::pow(10, 0.1), 1e-9);
  w.gesture(Qt::ZoomNativeGesture, std::nan(""));
  EXPECT_NEAR(w.window->zoom(), zoom * std::pow(10, 0.1), 1e-9);
  w.gesture(Qt::EndNativeGesture, 0);

  // Swipes: left and right cycle tools, up and down the selected layer.
  w.gesture(Qt::SwipeNativeGesture, 180);  // deltaX 1: previous tool
  EXPECT_EQ(tools->selectedToolIndex(), 0);
  w.gesture(Qt::SwipeNativeGesture, 0);  // deltaX -1: next tool
  EXPECT_EQ(tools->selectedToolIndex(), 1);
  w.layers()->setSelectionIndex(0);
  w.gesture(Qt::SwipeNativeGesture, 90);  // deltaY 1
  EXPECT_EQ(w.layers()->selectionIndex(), 2);
  w.gesture(Qt::SwipeNativeGesture, 270);  // deltaY -1
  EXPECT_EQ(w.layers()->selectionIndex(), 0);
  w.gesture(Qt::SwipeNativeGesture, 270);
  EXPECT_EQ(w.layers()->selectionIndex(), 1);
}
