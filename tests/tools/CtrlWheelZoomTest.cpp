// Ctrl+wheel zooms the window about the pointer: the document point under
// it stays under it, zooming in and out, as in other programs.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QWheelEvent>

#include "TestSupport.h"
#include "ToolWindow.h"
#include "window/IMView.h"
#include "window/IMWindowController.h"

TEST(CtrlWheelZoom, ThePointUnderThePointerStaysUnderIt) {
  ToolWindow w;
  ASSERT_TRUE(w.isOpen());
  w.window->window()->resize(700, 500);
  tst::spinOnce();
  w.key(Qt::Key_B, Qt::NoModifier, "b");
  w.window->setZoom(3);
  const QPointF under(250, 180);
  for (int notches : {2, -3, 1}) {
    const QPointF at = w.widgetPointOf(under);
    const double before = w.window->zoom();
    for (int i = 0; i < std::abs(notches); ++i) {
      QWheelEvent event(at, w.canvas()->mapToGlobal(at), QPoint(),
                        QPoint(0, notches > 0 ? 120 : -120), Qt::NoButton, Qt::ControlModifier,
                        Qt::NoScrollPhase, false);
      QCoreApplication::sendEvent(w.canvas(), &event);
    }
    w.canvas()->endWheelGesture();
    EXPECT_NE(w.window->zoom(), before) << notches;
    const QPointF now = w.widgetPointOf(under);
    EXPECT_NEAR(now.x(), at.x(), 1.5) << notches;
    EXPECT_NEAR(now.y(), at.y(), 1.5) << notches;
  }
}
