// What a view offers beyond drawing: tracking areas whose owner hears the
// pointer enter, move and leave; the contextual menu of a right click; the
// cursor rectangles replaced on every rebuild; and pushed cursors.
#include <gtest/gtest.h>

#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QMenu>
#include <QMouseEvent>

#include "TestSupport.h"
#include "appkit/Cursor.h"
#include "appkit/Responder.h"
#include "appkit/View.h"

namespace {

struct Owner : ui::Responder {
  QString heard;
  void mouseEntered(ui::Event&) override { heard += "E"; }
  void mouseExited(ui::Event&) override { heard += "X"; }
  void mouseMoved(ui::Event&) override { heard += "M"; }
};

// Adds one rectangle per reset: a view that adds to its rectangles on
// every reset shows as a growing set.
struct CursorView : ui::View {
  using ui::View::View;
  QRectF area{0, 0, 50, 50};
  void resetCursorRects() override { addCursorRect(area, QCursor(Qt::CrossCursor)); }
};

void move(QWidget* widget, QPointF at) {
  QMouseEvent event(QEvent::MouseMove, at, widget->mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                    Qt::NoModifier);
  QCoreApplication::sendEvent(widget, &event);
}

}  // namespace

TEST(ViewTracking, AreasReportEnteringMovingAndLeaving) {
  ui::View view(QRectF(0, 0, 200, 100));
  view.resize(200, 100);
  Owner crossing, moving;
  // y up: the first area is the lower left quarter.
  view.addTrackingArea(QRectF(0, 0, 100, 50), ui::TrackingMouseEnteredAndExited, &crossing);
  const int whole =
      view.addTrackingArea({}, ui::TrackingMouseMoved | ui::TrackingInVisibleRect, &moving);
  move(&view, {150, 20});  // upper right
  move(&view, {50, 80});   // lower left
  move(&view, {60, 80});
  move(&view, {150, 80});
  QEvent leave(QEvent::Leave);
  QCoreApplication::sendEvent(&view, &leave);
  EXPECT_EQ(crossing.heard, "EX");
  EXPECT_EQ(moving.heard, "MMMM");
  view.removeTrackingArea(whole);
  move(&view, {50, 80});
  EXPECT_EQ(moving.heard, "MMMM");
  EXPECT_EQ(crossing.heard, "EXE");
}

TEST(ViewTracking, RightClickOpensTheViewsMenuAndCursorsReplaceAndPush) {
  ui::View view(QRectF(0, 0, 200, 100));
  view.resize(200, 100);
  view.show();
  QMenu menu;
  menu.addAction("Something");
  QContextMenuEvent none(QContextMenuEvent::Mouse, QPoint(10, 10),
                         view.mapToGlobal(QPoint(10, 10)));
  QCoreApplication::sendEvent(&view, &none);
  EXPECT_FALSE(menu.isVisible());
  view.setMenu(&menu);
  QContextMenuEvent click(QContextMenuEvent::Mouse, QPoint(10, 10),
                          view.mapToGlobal(QPoint(10, 10)));
  QCoreApplication::sendEvent(&view, &click);
  EXPECT_TRUE(tst::spinUntil([&] { return menu.isVisible(); }));
  menu.close();

  CursorView cursors(QRectF(0, 0, 200, 100));
  cursors.rebuildCursorRects();
  cursors.rebuildCursorRects();
  EXPECT_EQ(cursors.cursorRects().size(), 1u);
  cursors.area = QRectF(0, 0, 10, 10);
  cursors.rebuildCursorRects();
  EXPECT_FALSE(cursors.cursorAtPoint({30, 30})) << "the old rectangle is gone";

  EXPECT_EQ(ui::Cursor::pushedCount(), 0);
  ui::Cursor::push(ui::Cursor::closedHandCursor());
  ui::Cursor::push(ui::Cursor::IBeamCursor());
  EXPECT_EQ(ui::Cursor::currentCursor().shape(), Qt::IBeamCursor);
  ui::Cursor::pop();
  EXPECT_EQ(ui::Cursor::currentCursor().shape(), Qt::ClosedHandCursor);
  ui::Cursor::pop();
  ui::Cursor::pop();  // nothing pushed: nothing happens
  EXPECT_EQ(ui::Cursor::pushedCount(), 0);
  EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}
