// Mouse gestures through the real canvas of a document window: the tool's
// four states and what it is handed, one undo step per edit (the temporary
// layer of a shape included), the tool that took the mouse-down keeping
// the gesture across a tool switch, and tablet pressure.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTabletEvent>

#include "TestSupport.h"
#include "ToolWindow.h"
#include "appkit/core/Beep.h"
#include "foundation/UndoManager.h"
#include "foundation/UserDefaults.h"
#include "model/IMAManagedObjectContext.h"
#include "model/Layer.h"
#include "tools/IMBezierPathTool.h"
#include "tools/IMLayerDragingTool.h"
#include "window/IMLayersArrayController.h"
#include "window/IMView.h"
#include "window/IMWindowController.h"

namespace {

void expectNear(const QPointF& actual, const QPointF& expected) {
  EXPECT_NEAR(actual.x(), expected.x(), 0.51) << "x";
  EXPECT_NEAR(actual.y(), expected.y(), 0.51) << "y";
}

}  // namespace

TEST(ToolMouse, FourStatesAndOneUndoStepPerEdit) {
  ToolWindow w;
  ASSERT_TRUE(w.isOpen());
  IMToolsController* tools = w.tools();
  RecordingBrush* brush = w.brush();
  ASSERT_TRUE(brush);
  ASSERT_TRUE(tools->selectToolOfClass<RecordingBrush>());
  w.layers()->setSelectionIndex(1);  // "Sun", at (220, 150)
  Layer* sun = w.layerNamed("Sun");
  const QPointF before = sun->origin();

  w.press({250, 180});
  EXPECT_EQ(brush->currentState(), 1u);
  EXPECT_TRUE(brush->didBeginAnUndoGroup());
  w.drag({260, 185});
  EXPECT_EQ(brush->currentState(), 2u);
  w.drag({260, 185});  // no movement: no call
  w.drag({270, 170});
  w.release({270, 170});
  EXPECT_EQ(brush->currentState(), 0u);
  EXPECT_FALSE(brush->didBeginAnUndoGroup());
  EXPECT_EQ(w.undoManager()->groupingLevel(), 0);

  ASSERT_EQ(brush->calls.size(), 4u);
  const char hooks[] = {'d', 'm', 'm', 'u'};
  const QPointF places[] = {{250, 180}, {260, 185}, {270, 170}, {270, 170}};
  const quint64 states[] = {1, 2, 2, 3};
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(brush->calls[i].hook, hooks[i]) << i;
    expectNear(brush->calls[i].location, places[i]);
    EXPECT_EQ(brush->calls[i].state, states[i]) << i;
  }
  expectNear(sun->origin(), before + QPointF(20, -10));
  EXPECT_EQ(brush->mouseDownLocation(), QPointF()) << "zero after mouse-up";

  w.undoManager()->undo();
  expectNear(sun->origin(), before);
  EXPECT_EQ(w.layerNames(), QStringList({"Bar", "Sun", "Ground"}));
}

// A tool that cannot act beeps at the mouse-down and does nothing else;
// drags after the mouse-up reach nothing.
TEST(ToolMouse, UnusableToolBeepsAndLateDragsDoNothing) {
  ToolWindow w;
  ASSERT_TRUE(w.isOpen());
  ASSERT_TRUE(w.tools()->selectToolOfClass<RecordingBrush>());
  RecordingBrush* brush = w.brush();
  int beeps = 0;
  ui::setBeepHandler([&] { ++beeps; });
  brush->usable = false;
  w.press({250, 180});
  EXPECT_EQ(beeps, 1);
  EXPECT_EQ(brush->currentState(), 1u);
  EXPECT_FALSE(brush->didBeginAnUndoGroup());
  w.drag({260, 180});
  w.release({260, 180});
  EXPECT_EQ(brush->currentState(), 0u);
  EXPECT_TRUE(brush->calls.empty());
  brush->usable = true;
  w.drag({270, 180});
  EXPECT_TRUE(brush->calls.empty());
  EXPECT_EQ(brush->currentState(), 0u);
  EXPECT_EQ(w.undoManager()->groupingLevel(), 0);
  ui::setBeepHandler(nullptr);
}

// A shape on a layer with content draws into a new layer merged down at
// mouse-up; one undo gives back the layers as they were.
TEST(ToolMouse, TemporaryLayerIsMadeMergedAndUndoneInOneStep) {
  fnd::UserDefaults::standardUserDefaults().removeObjectForKey("IMDrawingWithoutMerging");
  ToolWindow w;
  ASSERT_TRUE(w.isOpen());
  IMToolsController* tools = w.tools();
  w.key(Qt::Key_U, Qt::NoModifier, "u");
  ASSERT_TRUE(dynamic_cast<IMBezierPathTool*>(tools->selectedTool()));
  w.layers()->setSelectionIndex(1);
  Layer* sun = w.layerNamed("Sun");

  w.press({100, 100});
  EXPECT_EQ(w.layers()->objectsCount(), 4) << "a temporary layer above Sun";
  EXPECT_TRUE(tools->selectedTool()->isWorkingOnAtempLayer());
  EXPECT_NE(tools->workingLayer(), sun);
  w.drag({150, 120});
  w.release({150, 120});
  EXPECT_EQ(w.layers()->objectsCount(), 3) << "merged into Sun";
  EXPECT_EQ(w.layerNames(), QStringList({"Bar", "Sun", "Ground"}));
  EXPECT_FALSE(tools->selectedTool()->isWorkingOnAtempLayer());
  EXPECT_TRUE(fnd::UserDefaults::standardUserDefaults().hasKey("IMDrawingWithoutMerging"));
  EXPECT_FALSE(fnd::UserDefaults::standardUserDefaults().boolForKey("IMDrawingWithoutMerging"));
  EXPECT_EQ(w.undoManager()->groupingLevel(), 0);

  w.undoManager()->undo();
  EXPECT_EQ(w.layerNames(), QStringList({"Bar", "Sun", "Ground"}));
  EXPECT_EQ(w.arrangedLayers().value(1), sun) << "the original layer is back";
  w.undoManager()->undo();
  EXPECT_EQ(w.arrangedLayers().value(1), sun) << "nothing of the edit was left for a second undo";

  // A selected empty layer is drawn into as it is: nothing is made or merged.
  w.layers()->addNewLayer();
  ASSERT_EQ(w.layers()->objectsCount(), 4);
  Layer* empty = w.layers()->firstSelectedLayer();
  ASSERT_TRUE(empty && empty->isEmpty());
  w.press({10, 10});
  EXPECT_EQ(tools->workingLayer(), empty);
  EXPECT_FALSE(tools->selectedTool()->isWorkingOnAtempLayer());
  w.release({20, 20});
  EXPECT_EQ(w.layers()->objectsCount(), 4);
  EXPECT_EQ(w.layers()->firstSelectedLayer(), empty);
}

// Keys and modifiers arrive during drags: the tool that took the mouse-down
// gets the rest of the gesture and closes its undo group.
TEST(ToolMouse, MouseDownToolKeepsTheGestureAcrossAToolSwitch) {
  ToolWindow w;
  ASSERT_TRUE(w.isOpen());
  IMToolsController* tools = w.tools();
  RecordingBrush* brush = w.brush();
  ASSERT_TRUE(tools->selectToolOfClass<RecordingBrush>());
  w.layers()->setSelectionIndex(1);
  Layer* sun = w.layerNamed("Sun");
  const QPointF before = sun->origin();

  w.press({250, 180});
  w.drag({255, 180});
  w.key(Qt::Key_V, Qt::NoModifier, "v");
  ASSERT_TRUE(dynamic_cast<IMLayerDragingTool*>(tools->selectedTool()));
  w.drag({265, 180});
  w.release({265, 180});
  ASSERT_EQ(brush->calls.size(), 4u);
  EXPECT_EQ(brush->calls.back().hook, 'u');
  EXPECT_EQ(brush->currentState(), 0u);
  EXPECT_EQ(tools->selectedTool()->currentState(), 0u) << "the drag tool saw nothing";
  EXPECT_EQ(w.undoManager()->groupingLevel(), 0);
  expectNear(sun->origin(), before + QPointF(15, 0));
  w.undoManager()->undo();
  expectNear(sun->origin(), before);
}

// A stylus's pressure reaches the tool; a mouse presses with 1.
TEST(ToolMouse, TabletPressureAndMousePressure) {
  ToolWindow w;
  ASSERT_TRUE(w.isOpen());
  ASSERT_TRUE(w.tools()->selectToolOfClass<RecordingBrush>());
  RecordingBrush* brush = w.brush();
  const QPointF at = w.widgetPointOf({250, 180});
  QTabletEvent press(QEvent::TabletPress, QPointingDevice::primaryPointingDevice(), at,
                     w.canvas()->mapToGlobal(at), 0.4, 0, 0, 0, 0, 0, Qt::NoModifier,
                     Qt::LeftButton, Qt::LeftButton);
  QCoreApplication::sendEvent(w.canvas(), &press);
  EXPECT_EQ(brush->currentState(), 1u);
  EXPECT_NEAR(brush->lastEvent().pressure(), 0.4, 1e-6);
  QTabletEvent release(QEvent::TabletRelease, QPointingDevice::primaryPointingDevice(), at,
                       w.canvas()->mapToGlobal(at), 0, 0, 0, 0, 0, 0, Qt::NoModifier,
                       Qt::LeftButton, Qt::NoButton);
  QCoreApplication::sendEvent(w.canvas(), &release);
  EXPECT_EQ(brush->currentState(), 0u);
  w.press({250, 180});
  EXPECT_EQ(brush->lastEvent().pressure(), 1.0);
  w.release({250, 180});
}

// Over a text layer the shape's layer is not merged: shapes and text stay
// apart, and one undo takes the shape's layer away.
TEST(ToolMouse, ShapeOverTextStaysOnItsOwnLayer) {
  ToolWindow w;
  ASSERT_TRUE(w.isOpen());
  w.layers()->setSelectionIndex(0);
  Layer* text = w.layers()->obtainANewLayerIsText(true);
  ASSERT_TRUE(text && text->isText());
  w.window->managedObjectContext()->processPendingChanges();
  w.undoManager()->closeAutomaticGroup();
  ASSERT_EQ(w.layers()->objectsCount(), 4);
  ASSERT_EQ(w.tools()->workingLayer(), text);
  w.key(Qt::Key_U, Qt::NoModifier, "u");
  w.press({100, 100});
  EXPECT_FALSE(w.tools()->selectedTool()->isWorkingOnAtempLayer());
  w.drag({140, 130});
  w.release({140, 130});
  EXPECT_EQ(w.layers()->objectsCount(), 5);
  EXPECT_TRUE(w.arrangedLayers().contains(text));
  w.undoManager()->undo();
  EXPECT_EQ(w.layers()->objectsCount(), 4);
  EXPECT_TRUE(w.arrangedLayers().contains(text));
}
