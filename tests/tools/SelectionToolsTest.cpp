// The selection tools through the real canvas of a document window: lasso
// and rectangle selections made with Qt's mouse and key events, checked by
// the pixels that filling through them changes.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QMouseEvent>
#include <QPainterPath>

#include "SelectionSupport.h"
#include "TestSupport.h"
#include "appkit/Application.h"
#include "foundation/UndoManager.h"
#include "model/ComposedImage.h"
#include "model/IMImagesUtilities.h"
#include "model/Layer.h"
#include "model/Settings.h"
#include "tools/IMCropMarkerTool.h"
#include "tools/IMLassoTool.h"
#include "window/IMLayersArrayController.h"
#include "window/IMView.h"
#include "window/IMWindowController.h"

using seltest::colorAt;
using seltest::flatten;
using seltest::kFill;
using seltest::kGround;

namespace {

// Drags a closed lasso track through `points`.
void lasso(ToolWindow& w, const QList<QPointF>& points) {
  ASSERT_TRUE(w.tools()->selectToolOfClass<IMLassoTool>());
  w.press(points.first());
  for (qsizetype i = 1; i < points.size(); ++i) w.drag(points[i]);
  w.release(points.last());
}

void fillSelection(ToolWindow& w) {
  w.window->settings()->setColor1(kFill);
  ASSERT_TRUE(ui::Application::sharedApplication()->sendAction("fill:", w.window));
  tst::spinOnce();
}

}  // namespace

// A lasso triangle fills only inside its outline, and its outline runs on
// the pixel grid; the grab shows it with its ants.
TEST(SelectionTools, LassoFillsThroughItsMaskAndFollowsPixels) {
  ToolWindow w;
  ASSERT_TRUE(w.isOpen());
  w.layers()->setSelectionIndex(2);  // Ground
  lasso(w, {{100, 100}, {200, 100}, {100, 200}});
  IMLassoTool* tool = w.tools()->lassoSelectionTool();
  ASSERT_TRUE(tool->hasSelection());
  EXPECT_EQ(tool->selectedRect(), QRectF(100, 100, 100, 100));
  EXPECT_EQ(w.tools()->selectionTool(), tool);
  const QPainterPath outline = tool->selectedPath().toQPainterPath();
  for (int i = 1; i < outline.elementCount(); ++i) {
    const QPointF a = outline.elementAt(i - 1), b = outline.elementAt(i);
    EXPECT_TRUE(a.x() == b.x() || a.y() == b.y()) << "diagonal step at " << i;
    EXPECT_EQ(b, IMImagesUtilities::roundPoint(b)) << "off the grid at " << i;
  }

  // The ants: black and white dashes along the outline, nothing inside.
  w.canvas()->repaint();
  const QImage grab = w.window->window()->grab().toImage();
  tst::saveArtifactImage(grab, "selection-lasso-with-ants.png");
  const QImage ants = w.canvas()->grab().toImage();
  int black = 0, white = 0;
  for (int y = 100; y < 200; ++y) {
    const QColor c = ants.pixelColor(w.widgetPointOf({100, double(y)}).toPoint());
    black += c == QColor(Qt::black);
    white += c == QColor(Qt::white);
  }
  EXPECT_GT(black, 40) << "black dashes on the left edge";
  EXPECT_GT(white, 25) << "white dashes between them";
  EXPECT_EQ(ants.pixelColor(w.widgetPointOf({130, 130}).toPoint()), kGround);

  fillSelection(w);
  const QImage flat = flatten(w);
  EXPECT_EQ(colorAt(flat, 110, 110), kFill);
  EXPECT_EQ(colorAt(flat, 140, 150), kFill);
  EXPECT_EQ(colorAt(flat, 180, 180), kGround) << "inside the rectangle, outside the outline";
  EXPECT_EQ(colorAt(flat, 90, 110), kGround);
  EXPECT_FALSE(w.tools()->hasSelection()) << "fill takes the selection away";
}

// A lasso dragged off the canvas runs along its border.
TEST(SelectionTools, LassoOffTheCanvasRunsAlongItsBorder) {
  ToolWindow w;
  ASSERT_TRUE(w.isOpen());
  lasso(w, {{350, 250}, {450, 250}, {450, 350}, {350, 350}});
  IMLassoTool* tool = w.tools()->lassoSelectionTool();
  EXPECT_EQ(tool->selectedRect(), QRectF(350, 250, 50, 50));
  EXPECT_EQ(tool->selectedPath().bounds(), QRectF(350, 250, 50, 50));
}

// Pushed past the left edge by arrows, the lasso loses what went off the
// canvas, and the fill covers exactly what is shown: x + y <= 140 for the
// triangle moved 20 to the left, not the x + y <= 150 of its old mask.
TEST(SelectionTools, ArrowsPastTheEdgeThenFillChangeOnlyTheShownSelection) {
  ToolWindow w;
  ASSERT_TRUE(w.isOpen());
  w.layers()->setSelectionIndex(2);
  lasso(w, {{10, 100}, {60, 100}, {10, 150}});
  for (int i = 0; i < 20; ++i) w.key(Qt::Key_Left);
  IMSelectionTool* tool = w.tools()->selectionTool();
  EXPECT_EQ(tool->selectedRect(), QRectF(0, 100, 40, 40));
  EXPECT_EQ(tool->selectedPath().bounds(), QRectF(0, 100, 40, 40));
  fillSelection(w);
  const QImage flat = flatten(w);
  EXPECT_EQ(colorAt(flat, 2, 102), kFill);
  EXPECT_EQ(colorAt(flat, 20, 110), kFill);
  EXPECT_EQ(colorAt(flat, 30, 115), kGround) << "outside the shown outline";
  EXPECT_EQ(colorAt(flat, 5, 142), kGround);
}

// Each knob resizes from the rectangle it was grabbed on; the fill then
// covers the new rectangle and nothing beside it. The last row drags the
// top-left knob past the opposite corner: the rectangle turns over.
TEST(SelectionTools, EachKnobResizesTheRectangle) {
  ToolWindow w;
  ASSERT_TRUE(w.isOpen());
  w.layers()->setSelectionIndex(2);
  IMToolsController* tools = w.tools();
  IMCropMarkerTool* tool = tools->rectSelectionTool();
  ASSERT_TRUE(tools->selectToolOfClass<IMCropMarkerTool>());
  const QRectF start(100, 100, 100, 80);
  struct Row {
    QPointF knob;
    QPointF to;
    QRectF expected;
  };
  const Row rows[] = {
      {{100, 180}, {112, 171}, {112, 100, 88, 71}},  {{150, 180}, {162, 171}, {100, 100, 100, 71}},
      {{200, 180}, {212, 171}, {100, 100, 112, 71}}, {{100, 140}, {112, 131}, {112, 100, 88, 80}},
      {{200, 140}, {212, 131}, {100, 100, 112, 80}}, {{100, 100}, {112, 91}, {112, 91, 88, 89}},
      {{150, 100}, {162, 91}, {100, 91, 100, 89}},   {{200, 100}, {212, 91}, {100, 91, 112, 89}},
      {{100, 180}, {250, 70}, {200, 70, 50, 30}}};
  int knob = 0;
  for (const Row& row : rows) {
    SCOPED_TRACE(++knob);
    w.press({100, 100});  // a new selection (the fill took the last one away)
    w.drag({200, 180});
    w.release({200, 180});
    ASSERT_EQ(tool->selectedRect(), start);
    w.press(row.knob);
    EXPECT_EQ(tool->resizingKnob(), knob <= 8 ? knob : 1);
    w.drag((row.knob + row.to) / 2);
    w.drag(row.to);
    w.release(row.to);
    ASSERT_EQ(tool->selectedRect(), row.expected);
    fillSelection(w);
    const QImage flat = flatten(w);
    const QRectF& e = row.expected;
    const double right = e.x() + e.width(), top = e.y() + e.height();
    EXPECT_EQ(colorAt(flat, e.x(), e.y()), kFill);
    EXPECT_EQ(colorAt(flat, right - 1, top - 1), kFill);
    EXPECT_EQ(colorAt(flat, e.x() - 1, e.y() + 5), kGround);
    EXPECT_EQ(colorAt(flat, right, top - 5), kGround);
    EXPECT_EQ(colorAt(flat, e.x() + 5, top), kGround);
    w.undoManager()->undo();
    tst::spinOnce();
    EXPECT_EQ(colorAt(flatten(w), e.x() + 1, e.y() + 1), kGround) << "after undo";
  }
}

// Dragged from inside, the rectangle moves and stops at the canvas's edge
// with its size kept; a double click then removes it, and the tool is idle
// with its ants running again.
TEST(SelectionTools, MovingStopsAtTheEdgeAndADoubleClickDeselects) {
  ToolWindow w;
  ASSERT_TRUE(w.isOpen());
  IMToolsController* tools = w.tools();
  IMCropMarkerTool* tool = tools->rectSelectionTool();
  ASSERT_TRUE(tools->selectToolOfClass<IMCropMarkerTool>());
  w.press({100, 100});
  w.drag({150, 140});
  w.release({150, 140});
  w.press({120, 120});
  EXPECT_TRUE(tool->isMoving());
  w.drag({300, 125});
  w.drag({500, 130});
  w.release({500, 130});
  EXPECT_EQ(tool->selectedRect(), QRectF(350, 110, 50, 40));

  const QPointF inside = w.widgetPointOf({370, 120});
  auto send = [&](QEvent::Type type, Qt::MouseButtons buttons) {
    QMouseEvent event(type, inside, w.canvas()->mapToGlobal(inside), Qt::LeftButton, buttons,
                      Qt::NoModifier);
    QCoreApplication::sendEvent(w.canvas(), &event);
  };
  send(QEvent::MouseButtonPress, Qt::LeftButton);
  send(QEvent::MouseButtonRelease, Qt::NoButton);
  send(QEvent::MouseButtonDblClick, Qt::LeftButton);
  send(QEvent::MouseButtonRelease, Qt::NoButton);
  EXPECT_FALSE(tools->hasSelection());
  EXPECT_EQ(tool->currentState(), 0u);
  EXPECT_EQ(tool->trackingMode(), 0u);
  EXPECT_TRUE(tools->isAnimating());
}

// The ants' redraw hugs the outline: a selection of the whole canvas is
// redrawn as thin bands whose area is a small part of the view.
TEST(SelectionTools, AntsRedrawOnlyTheOutlinesBand) {
  ToolWindow w;
  ASSERT_TRUE(w.isOpen());
  for (bool useLasso : {false, true}) {
    SCOPED_TRACE(useLasso ? "lasso" : "rectangle");
    if (useLasso)
      lasso(w, {{0, 0}, {400, 0}, {400, 300}, {0, 300}});
    else
      w.tools()->selectAll();
    const QList<QRectF> bands = w.tools()->selectionTool()->outlineBandRects();
    double area = 0;
    for (const QRectF& band : bands) area += band.width() * band.height();
    EXPECT_LT(area, 0.1 * 400 * 300);
    const QPainterPath outline = w.tools()->selectionTool()->selectedPath().toQPainterPath();
    for (double t = 0; t <= 1; t += 0.01) {
      const QPointF p = w.canvas()->transformation().transformPoint(outline.pointAtPercent(t));
      bool covered = false;
      for (const QRectF& band : bands) covered |= band.adjusted(-0.5, -0.5, 0.5, 0.5).contains(p);
      EXPECT_TRUE(covered) << p.x() << "," << p.y();
    }
  }
}

// Outside the selection a stroke's image becomes transparent; for a brush
// that paints through a content mask, the mask acts inside the selection
// only and the stroke stays whole outside.
TEST(SelectionTools, StrokesAreClippedByTheRectangleSelection) {
  ToolWindow w;
  ASSERT_TRUE(w.isOpen());
  IMToolsController* tools = w.tools();
  w.layers()->setSelectionIndex(2);  // Ground, whose coordinates are the document's
  EXPECT_TRUE(tools->applySelectionMaskToImage(ci::Image()).isNull());
  ASSERT_TRUE(tools->selectToolOfClass<IMCropMarkerTool>());
  w.press({100, 100});
  w.drag({200, 150});
  w.release({200, 150});
  const ci::Image stroke = ci::Image::imageWithColor(ci::Color(1, 0, 0, 1))
                               .imageByCroppingToRect(QRectF(0, 0, 400, 300));
  const QImage clipped = seltest::render(tools->applySelectionMaskToImage(stroke), {400, 300});
  EXPECT_EQ(colorAt(clipped, 150, 120), QColor(Qt::red));
  EXPECT_EQ(colorAt(clipped, 150, 90).alpha(), 0);
  EXPECT_EQ(colorAt(clipped, 210, 120).alpha(), 0);
  const ci::Image black = ci::Image::imageWithColor(ci::Color(0, 0, 0, 1));
  const QImage masked =
      seltest::render(tools->applyMaskOnlyOnSelectedContent(black, stroke), {400, 300});
  EXPECT_EQ(colorAt(masked, 150, 120).alpha(), 0) << "the content mask acts inside";
  EXPECT_EQ(colorAt(masked, 210, 120), QColor(Qt::red)) << "the stroke stays outside";
}
