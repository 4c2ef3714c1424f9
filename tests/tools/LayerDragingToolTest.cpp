// The drag tool through a document window's canvas: layers follow the
// pointer at any zoom; selected pixels are cut, or copied with Option, into
// new layers just above their sources; Option alone copies whole layers; a
// double click raises layers. Each gesture is one undo step.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QMouseEvent>

#include "TestSupport.h"
#include "ToolPixels.h"
#include "ToolWindow.h"
#include "documents/IMDocument.h"
#include "foundation/UndoManager.h"
#include "model/Layer.h"
#include "tools/IMLayerDragingTool.h"
#include "window/IMLayersArrayController.h"
#include "window/IMView.h"
#include "window/IMWindowController.h"

namespace {

using tooltest::flattened;
using tooltest::layerColorAt;

const QColor kRed(230, 40, 30), kGreen(40, 170, 70), kBlue(30, 60, 220);

struct DragWindow : ToolWindow {
  DragWindow() {
    if (!isOpen()) return;
    tools()->selectToolOfClass<IMLayerDragingTool>();
    forgetUndo();
  }
  void dragBy(QPointF from, QPointF by, Qt::KeyboardModifiers modifiers = {}) {
    press(from, modifiers);
    const QImage atPress = flattened(window->composedImage());
    drag(from + by / 2, modifiers);
    drag(from + by, modifiers);
    release(from + by, modifiers);
    tst::spinOnce();
    pictureKeptAtPress = atPress == before;
  }
  bool undoOnce() {
    if (!undoManager()->canUndo()) return false;
    undoManager()->undo();
    tst::spinOnce();
    return !undoManager()->canUndo();
  }
  QImage before;
  bool pictureKeptAtPress = false;
};

}  // namespace

// The layer moves by the document distance the pointer went, whatever the
// zoom, and not at the press.
TEST(LayerDragingTool, LayersFollowThePointerAtEveryZoom) {
  DragWindow w;
  ASSERT_TRUE(w.isOpen());
  Layer* sun = w.layerNamed("Sun");
  w.layers()->setSelectionIndex(1);
  for (double zoom : {1.0, 2.5, 0.5}) {
    w.window->setZoom(zoom);
    const QPointF start = sun->origin() + QPointF(30, 40);
    w.scrollToShow({start.x() - 30, start.y() - 10, 40, 40});
    w.before = flattened(w.window->composedImage());
    w.dragBy(start, {-20, 12});
    EXPECT_TRUE(w.pictureKeptAtPress) << "zoom " << zoom;
    EXPECT_EQ(sun->origin(), start - QPointF(30, 40) + QPointF(-20, 12)) << "zoom " << zoom;
  }
  EXPECT_TRUE(w.document->isDocumentEdited());
  w.undoManager()->undo();
  EXPECT_EQ(sun->origin(), QPointF(220 - 40, 150 + 24)) << "one drag, one step";
}

// A selection over all three layers, or Option alone on the Sun: each
// lifted piece lands just above its source, the pieces are selected and
// moved, the sources lose their pixels only when cut, and one undo takes
// everything back.
TEST(LayerDragingTool, CutAndCopyIntoNewLayersKeepTheStackOrder) {
  const struct {
    Qt::KeyboardModifiers modifiers;
    QRectF selection;
    bool cut;
  } cases[] = {{Qt::NoModifier, {200, 30, 100, 150}, true},
               {Qt::AltModifier, {200, 30, 100, 150}, false},
               {Qt::AltModifier, {}, false}};
  for (const auto& c : cases) {
    DragWindow w;
    ASSERT_TRUE(w.isOpen());
    const bool whole = c.selection.isEmpty();
    w.layers()->setSelectionIndexes(whole ? fnd::IndexSet(1) : fnd::IndexSet::range(0, 3));
    if (!whole) w.tools()->setRectSelectedRect(c.selection);
    const QList<Layer*> sources = w.layers()->selectedLayers();
    w.before = flattened(w.window->composedImage());
    w.dragBy({250, 160}, {10, -10}, c.modifiers);
    SCOPED_TRACE(testing::Message() << "cut " << c.cut << " whole " << whole);
    EXPECT_TRUE(w.pictureKeptAtPress);
    EXPECT_FALSE(w.tools()->hasSelection());

    const QList<Layer*> layers = w.arrangedLayers();
    ASSERT_EQ(layers.size(), 3 + sources.size());
    QList<Layer*> pieces;
    for (int i = 0; i < sources.size(); ++i) {
      const int source = layers.indexOf(sources[i]);
      ASSERT_GE(source, 1);
      pieces.append(layers[source - 1]);
      EXPECT_FALSE(sources.contains(pieces.last()));
    }
    EXPECT_EQ(w.layers()->selectedLayers(), pieces);
    const QPointF pieceOrigin = whole ? QPointF(10, -10) : QPointF(210, 20);
    for (Layer* piece : pieces) EXPECT_EQ(piece->origin(), pieceOrigin);
    if (!whole) {
      EXPECT_EQ(layerColorAt(pieces[0], 215, 40).rgb(), kBlue.rgb());
      EXPECT_EQ(layerColorAt(pieces[0], 215, 70).alpha(), 0) << "the bar's pixels only";
      EXPECT_EQ(layerColorAt(pieces[2], 215, 70).rgb(), kGreen.rgb());
      EXPECT_EQ(layerColorAt(w.layerNamed("Ground"), 250, 100).alpha(), c.cut ? 0 : 255);
    }
    Layer* sunPiece = pieces[whole ? 0 : 1];
    EXPECT_EQ(layerColorAt(sunPiece, 240, 165).rgb(), kRed.rgb());
    EXPECT_EQ(layerColorAt(w.layerNamed("Sun"), 230, 170).alpha(), c.cut ? 0 : 255);
    EXPECT_EQ(layerColorAt(w.layerNamed("Sun"), 305, 170).rgb(), kRed.rgb());

    EXPECT_TRUE(w.undoOnce()) << "the whole gesture is one step";
    EXPECT_EQ(w.layerNames(), QStringList({"Bar", "Sun", "Ground"}));
    EXPECT_EQ(layerColorAt(w.layerNamed("Sun"), 230, 170).rgb(), kRed.rgb());
  }
}

TEST(LayerDragingTool, DoubleClickRaisesTheSelectedLayers) {
  DragWindow w;
  ASSERT_TRUE(w.isOpen());
  w.layers()->setSelectionIndex(2);
  const QPointF at = w.widgetPointOf({100, 100});
  for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease,
                            QEvent::MouseButtonDblClick, QEvent::MouseButtonRelease}) {
    const bool down = type != QEvent::MouseButtonRelease;
    QMouseEvent event(type, at, w.canvas()->mapToGlobal(at), Qt::LeftButton,
                      down ? Qt::LeftButton : Qt::NoButton, {});
    QCoreApplication::sendEvent(w.canvas(), &event);
  }
  EXPECT_EQ(w.layerNames(), QStringList({"Ground", "Bar", "Sun"}));
  w.undoManager()->undo();
  EXPECT_EQ(w.layerNames(), QStringList({"Bar", "Sun", "Ground"}));
}
