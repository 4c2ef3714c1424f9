// The drag tool through a document window's canvas: layers moved with the
// pointer at any zoom, selected pixels cut or copied into new layers and
// moved, whole layers copied with Option, a double click raising layers;
// each gesture one undo step that marks the document edited.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QMouseEvent>
#include <algorithm>

#include "TestSupport.h"
#include "ToolPixels.h"
#include "ToolWindow.h"
#include "documents/IMDocument.h"
#include "foundation/UndoManager.h"
#include "model/ComposedImage.h"
#include "model/Layer.h"
#include "tools/IMLayerDragingTool.h"
#include "window/IMLayersArrayController.h"
#include "window/IMView.h"
#include "window/IMWindowController.h"

namespace {

using tooltest::flattened;
using tooltest::flattenedColorAt;
using tooltest::layerColorAt;

const QColor kRed(230, 40, 30), kGreen(40, 170, 70), kBlue(30, 60, 220);

void dragFromTo(ToolWindow& w, QPointF from, QPointF to, Qt::KeyboardModifiers modifiers = {}) {
  w.press(from, modifiers);
  w.drag((from + to) / 2, modifiers);
  w.drag(to, modifiers);
  w.release(to, modifiers);
  tst::spinOnce();
}

int largestDifference(const QImage& a, const QImage& b) {
  if (a.size() != b.size()) return 255;
  int most = 0;
  for (int y = 0; y < a.height(); ++y)
    for (int x = 0; x < a.width(); ++x) {
      const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
      most = std::max({most, std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                       std::abs(qBlue(p) - qBlue(q)), std::abs(qAlpha(p) - qAlpha(q))});
    }
  return most;
}

bool undoOnce(ToolWindow& w) {
  if (!w.undoManager()->canUndo()) return false;
  w.undoManager()->undo();
  tst::spinOnce();
  return true;
}

struct DragWindow : ToolWindow {
  DragWindow() {
    if (!isOpen()) return;
    tools()->selectToolOfClass<IMLayerDragingTool>();
    forgetUndo();
  }
};

}  // namespace

// The layer moves by the document distance the pointer went, whatever the
// zoom and scroll, and nothing moves at the press itself.
TEST(LayerDragingTool, LayersFollowThePointerAtEveryZoomInOneUndo) {
  DragWindow w;
  ASSERT_TRUE(w.isOpen());
  Layer* sun = w.layerNamed("Sun");
  w.layers()->setSelectionIndex(1);
  for (double zoom : {1.0, 2.5, 0.5}) {
    w.window->setZoom(zoom);
    const QPointF start = sun->origin() + QPointF(30, 40);
    w.scrollToShow({start.x() - 30, start.y() - 10, 40, 40});
    w.press(start);
    EXPECT_EQ(sun->origin(), start - QPointF(30, 40)) << "zoom " << zoom;
    w.drag(start + QPointF(7, 3));
    w.drag(start + QPointF(-20, 12));
    w.release(start + QPointF(-20, 12));
    tst::spinOnce();
    EXPECT_EQ(sun->origin(), start - QPointF(30, 40) + QPointF(-20, 12)) << "zoom " << zoom;
  }
  EXPECT_EQ(sun->origin(), QPointF(220 - 60, 150 + 36));
  EXPECT_TRUE(w.document->isDocumentEdited());
  const QImage moved = flattened(w.window->composedImage());
  EXPECT_EQ(flattenedColorAt(moved, 165, 190).rgb(), kRed.rgb());
  ASSERT_TRUE(undoOnce(w));
  EXPECT_EQ(sun->origin(), QPointF(220 - 40, 150 + 24)) << "one drag undone";
  ASSERT_TRUE(undoOnce(w));
  ASSERT_TRUE(undoOnce(w));
  EXPECT_EQ(sun->origin(), QPointF(220, 150));
  EXPECT_FALSE(w.undoManager()->canUndo());
}

// A rectangle selection cut (or, with Option, copied) out of each selected
// bitmap layer into a new layer just above it; the new layers are selected
// and moved, the selection is gone, and one undo puts everything back.
TEST(LayerDragingTool, SelectedPixelsCutOrCopiedIntoNewLayers) {
  for (bool copy : {false, true}) {
    DragWindow w;
    ASSERT_TRUE(w.isOpen());
    const Qt::KeyboardModifiers option = copy ? Qt::AltModifier : Qt::NoModifier;
    Layer* sun = w.layerNamed("Sun");
    w.layers()->setSelectionIndex(1);
    w.tools()->setRectSelectedRect({250, 180, 40, 30});
    const QImage before = flattened(w.window->composedImage());
    w.press({260, 190}, option);
    EXPECT_LE(largestDifference(before, flattened(w.window->composedImage())), 1)
        << "the picture does not change at the press";
    w.drag({200, 150}, option);
    w.drag({160, 90}, option);
    w.release({160, 90}, option);
    tst::spinOnce();

    const QList<Layer*> layers = w.arrangedLayers();
    ASSERT_EQ(layers.size(), 4) << "copy " << copy;
    Layer* lifted = layers[1];
    EXPECT_EQ(layers[2], sun);
    EXPECT_EQ(w.layers()->selectedLayers(), QList<Layer*>{lifted});
    EXPECT_FALSE(w.tools()->hasSelection());
    EXPECT_EQ(lifted->origin(), QPointF(150, 80));
    EXPECT_EQ(lifted->imageSize(), QSizeF(40, 30));
    EXPECT_EQ(layerColorAt(lifted, 150, 80).rgb(), kRed.rgb());
    EXPECT_EQ(layerColorAt(lifted, 189, 109).rgb(), kRed.rgb());
    EXPECT_EQ(layerColorAt(sun, 260, 190).alpha(), copy ? 255 : 0);
    EXPECT_EQ(layerColorAt(sun, 249, 190).rgb(), kRed.rgb()) << "outside the selection";
    const QImage after = flattened(w.window->composedImage());
    EXPECT_EQ(flattenedColorAt(after, 165, 95).rgb(), kRed.rgb());
    EXPECT_EQ(flattenedColorAt(after, 260, 190).rgb(), (copy ? kRed : kGreen).rgb());
    EXPECT_TRUE(w.document->isDocumentEdited());

    ASSERT_TRUE(undoOnce(w));
    EXPECT_EQ(w.layerNames(), QStringList({"Bar", "Sun", "Ground"}));
    EXPECT_EQ(layerColorAt(sun, 260, 190).rgb(), kRed.rgb());
    EXPECT_FALSE(w.undoManager()->canUndo()) << "the whole gesture was one step";
  }
}

// Several selected layers are lifted from a snapshot of the selection:
// each piece lands just above its source, text-free bitmap layers only,
// and the pieces move together.
TEST(LayerDragingTool, LiftingSeveralLayersKeepsTheStackOrder) {
  DragWindow w;
  ASSERT_TRUE(w.isOpen());
  Layer* bar = w.layerNamed("Bar");
  Layer* sun = w.layerNamed("Sun");
  Layer* ground = w.layerNamed("Ground");
  w.layers()->setSelectionIndexes(fnd::IndexSet::range(0, 3));
  w.tools()->setRectSelectedRect({200, 30, 100, 150});
  const QImage before = flattened(w.window->composedImage());
  w.press({250, 100});
  EXPECT_LE(largestDifference(before, flattened(w.window->composedImage())), 1);
  w.drag({260, 90});
  w.release({260, 90});
  tst::spinOnce();

  const QList<Layer*> layers = w.arrangedLayers();
  ASSERT_EQ(layers.size(), 6);
  EXPECT_EQ(layers[1], bar);
  EXPECT_EQ(layers[3], sun);
  EXPECT_EQ(layers[5], ground);
  const QList<Layer*> pieces = {layers[0], layers[2], layers[4]};
  EXPECT_EQ(w.layers()->selectedLayers(), pieces);
  for (Layer* piece : pieces) EXPECT_EQ(piece->origin(), QPointF(210, 20));
  EXPECT_EQ(layerColorAt(layers[0], 215, 40).rgb(), kBlue.rgb());
  EXPECT_EQ(layerColorAt(layers[0], 215, 70).alpha(), 0) << "only the bar's own pixels";
  EXPECT_EQ(layerColorAt(layers[2], 230, 165).rgb(), kRed.rgb());
  EXPECT_EQ(layerColorAt(layers[4], 215, 70).rgb(), kGreen.rgb());
  EXPECT_EQ(layerColorAt(ground, 250, 100).alpha(), 0);

  ASSERT_TRUE(undoOnce(w));
  EXPECT_EQ(w.layerNames(), QStringList({"Bar", "Sun", "Ground"}));
  EXPECT_FALSE(w.undoManager()->canUndo());
}

// Option without a selection copies the whole layer, flattened, and drags
// the copy; the source stays where it was.
TEST(LayerDragingTool, OptionWithoutSelectionDuplicatesTheLayer) {
  DragWindow w;
  ASSERT_TRUE(w.isOpen());
  Layer* sun = w.layerNamed("Sun");
  w.layers()->setSelectionIndex(1);
  dragFromTo(w, {260, 190}, {270, 180}, Qt::AltModifier);
  const QList<Layer*> layers = w.arrangedLayers();
  ASSERT_EQ(layers.size(), 4);
  EXPECT_EQ(layers[2], sun);
  EXPECT_EQ(sun->origin(), QPointF(220, 150));
  EXPECT_EQ(layerColorAt(sun, 225, 155).rgb(), kRed.rgb());
  EXPECT_EQ(layers[1]->origin(), QPointF(10, -10));
  EXPECT_EQ(layerColorAt(layers[1], 235, 145).rgb(), kRed.rgb());
  ASSERT_TRUE(undoOnce(w));
  EXPECT_EQ(w.arrangedLayers().size(), 3);
  EXPECT_FALSE(w.undoManager()->canUndo());
}

// A double click in move mode brings the selected layer to the top.
TEST(LayerDragingTool, DoubleClickRaisesTheSelectedLayers) {
  DragWindow w;
  ASSERT_TRUE(w.isOpen());
  w.layers()->setSelectionIndex(2);
  const QPointF at = w.widgetPointOf({100, 100});
  auto send = [&](QEvent::Type type, Qt::MouseButtons buttons) {
    QMouseEvent event(type, at, w.canvas()->mapToGlobal(at), Qt::LeftButton, buttons, {});
    QCoreApplication::sendEvent(w.canvas(), &event);
  };
  send(QEvent::MouseButtonPress, Qt::LeftButton);
  send(QEvent::MouseButtonRelease, Qt::NoButton);
  EXPECT_EQ(w.layerNames(), QStringList({"Bar", "Sun", "Ground"})) << "a single click";
  send(QEvent::MouseButtonDblClick, Qt::LeftButton);
  send(QEvent::MouseButtonRelease, Qt::NoButton);
  tst::spinOnce();
  EXPECT_EQ(w.layerNames(), QStringList({"Ground", "Bar", "Sun"}));
  EXPECT_EQ(w.layers()->selectedLayers(), QList<Layer*>{w.layerNamed("Ground")});
  ASSERT_TRUE(undoOnce(w));
  EXPECT_EQ(w.layerNames(), QStringList({"Bar", "Sun", "Ground"}));
}
