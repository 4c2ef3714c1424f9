// Popovers stay on the screen: an edge without room gives way to the
// opposite one, the panel slides along the edge rather than leave the
// screen, and the arrow points at the anchor wherever the panel went.
#include <gtest/gtest.h>

#include <QApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QScreen>

#include "TestSupport.h"
#include "appkit/Popover.h"

namespace {

const char* edgeName(ui::RectEdge edge) {
  switch (edge) {
    case ui::MinXEdge:
      return "MinX";
    case ui::MaxXEdge:
      return "MaxX";
    case ui::MinYEdge:
      return "MinY";
    case ui::MaxYEdge:
      break;
  }
  return "MaxY";
}

}  // namespace

TEST(Popover, OpensOnTheEdgeWithRoomAndStaysOnTheScreen) {
  const QRect screen(0, 0, 800, 600);
  const QSize size(240, 100);
  struct Case {
    const char* what;
    QRect anchor;
    ui::RectEdge preferred, edge;
    QPoint origin;
  };
  const Case cases[] = {
      {"room on the left", {300, 200, 200, 30}, ui::MinXEdge, ui::MinXEdge, {60, 165}},
      {"a row at the screen's left edge",
       {0, 200, 200, 30},
       ui::MinXEdge,
       ui::MaxXEdge,
       {200, 165}},
      {"a row at the right edge", {700, 200, 100, 30}, ui::MaxXEdge, ui::MinXEdge, {460, 165}},
      {"too near the top, slid right", {10, 20, 100, 10}, ui::MinYEdge, ui::MaxYEdge, {0, 30}},
      {"no room either side: the larger, on screen",
       {100, 0, 650, 30},
       ui::MinXEdge,
       ui::MinXEdge,
       {0, 0}},
      {"at the bottom, above", {300, 560, 100, 30}, ui::MaxYEdge, ui::MinYEdge, {230, 460}},
  };
  for (const Case& c : cases) {
    const ui::RectEdge edge = ui::Popover::edgeWithRoom(c.anchor, size, c.preferred, screen);
    EXPECT_STREQ(edgeName(edge), edgeName(c.edge)) << c.what;
    const QPoint origin = ui::Popover::originOnScreen(c.anchor, size, edge, screen);
    EXPECT_EQ(origin, c.origin) << c.what;
    EXPECT_TRUE(screen.contains(QRect(origin, size))) << c.what;
  }
}

TEST(Popover, AShownPopoverPointsItsArrowAtTheAnchorFromOnTheScreen) {
  const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
  QWidget host;
  host.setGeometry(screen.x(), screen.y() + 100, 200, 300);
  host.show();
  tst::spinOnce();
  const QRect row(0, 120, 200, 24);
  struct Case {
    ui::RectEdge preferred, shown;
  };
  for (const Case& c : {Case{ui::MinXEdge, ui::MaxXEdge}, Case{ui::MaxXEdge, ui::MaxXEdge}}) {
    ui::Popover popover(new QLabel("Opacity 100 %"));
    popover.showRelativeToRect(row, &host, c.preferred);
    ASSERT_TRUE(popover.isShown());
    EXPECT_STREQ(edgeName(popover.shownEdge()), edgeName(c.shown));
    EXPECT_TRUE(screen.contains(popover.geometry())) << "on the screen";
    const QPoint tip = popover.mapToGlobal(popover.arrowTip());
    const QRect anchor(host.mapToGlobal(row.topLeft()), row.size());
    EXPECT_NEAR(tip.x(), anchor.x() + anchor.width(), 1) << "at the row's right side";
    EXPECT_NEAR(tip.y(), anchor.center().y(), 1) << "level with the row's middle";
    EXPECT_FALSE(popover.mask().isEmpty()) << "shaped with its arrow";
    EXPECT_TRUE(popover.mask().contains(popover.arrowTip() + QPoint(2, 0)));
    EXPECT_FALSE(popover.mask().contains(QPoint(1, 1))) << "beside the arrow is outside";
    tst::saveArtifactImage(popover.grab().toImage(), "appkit-popover-with-arrow.png");
    popover.performClose(nullptr);
  }
}

namespace {

void key(QWidget* to, int qtKey, const QString& text = {}) {
  QKeyEvent press(QEvent::KeyPress, qtKey, Qt::NoModifier, text);
  QApplication::sendEvent(to, &press);
  QKeyEvent release(QEvent::KeyRelease, qtKey, Qt::NoModifier, text);
  QApplication::sendEvent(to, &release);
}

struct ClosingRecorder : ui::PopoverDelegate {
  void popoverWillClose(ui::Popover*) override { ++closes; }
  int closes = 0;
};

}  // namespace

// A semi-transient popover lets the window below take the mouse and the
// keys while it stays open; Escape closes it, and its delegate hears it.
TEST(Popover, SemiTransientStaysOpenWhileTheWindowBelowWorks) {
  QWidget window;
  window.resize(400, 300);
  auto* field = new QLineEdit(&window);
  field->setGeometry(10, 10, 200, 24);
  window.show();
  ClosingRecorder recorder;
  ui::Popover popover(new QLabel("radius"));
  popover.setDelegate(&recorder);
  popover.setBehavior(ui::Popover::SemiTransient);
  popover.showRelativeToRect(QRect(10, 10, 20, 20), &window, ui::MinYEdge);
  ASSERT_TRUE(popover.isShown());
  EXPECT_FALSE(popover.windowFlags().testFlag(Qt::Popup) &&
               (popover.windowFlags() & Qt::WindowType_Mask) == Qt::Popup);
  EXPECT_EQ(QApplication::activePopupWidget(), nullptr) << "nothing grabs the mouse";

  const QPointF inside(5, 5);
  QMouseEvent press(QEvent::MouseButtonPress, inside, field->mapToGlobal(inside), Qt::LeftButton,
                    Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(field, &press);
  key(field, Qt::Key_1, "1");
  key(field, Qt::Key_2, "2");
  EXPECT_EQ(field->text(), "12") << "the window below takes the keys";
  EXPECT_TRUE(popover.isShown());
  EXPECT_EQ(recorder.closes, 0);

  key(&popover, Qt::Key_Escape);
  EXPECT_FALSE(popover.isShown());
  EXPECT_EQ(recorder.closes, 1);

  // A transient one is a popup again.
  popover.setBehavior(ui::Popover::Transient);
  EXPECT_EQ(popover.windowFlags() & Qt::WindowType_Mask, Qt::Popup);
}
