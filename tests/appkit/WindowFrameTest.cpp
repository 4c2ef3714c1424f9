// What the window layer adds for animated layouts: constraints that move a
// panel's width over an animation group, window frames set with their own
// animation, and full screen on and off.
#include <gtest/gtest.h>

#include <QHBoxLayout>
#include <QScreen>

#include "TestSupport.h"
#include "appkit/AnimationContext.h"
#include "appkit/LayoutConstraint.h"
#include "appkit/Window.h"

namespace {

struct AnimationsOn {
  AnimationsOn() { ui::AnimationContext::setAnimationsEnabled(true); }
  ~AnimationsOn() { ui::AnimationContext::setAnimationsEnabled(false); }
};

}  // namespace

TEST(WindowFrame, ConstraintsMoveWidthsOverTheGroupAndHideAtZero) {
  AnimationsOn on;
  QWidget row;
  auto* layout = new QHBoxLayout(&row);
  auto* panel = new QWidget;
  layout->addWidget(panel);
  layout->addWidget(new QWidget, 1);
  row.resize(600, 200);
  row.show();
  ui::LayoutConstraint width(panel, ui::LayoutConstraint::Attribute::Width, 200);
  EXPECT_EQ(panel->width(), 200);
  QList<int> seen;
  bool done = false;
  ui::AnimationContext::runAnimationGroup(
      [&](ui::AnimationContext& context) {
        context.setDuration(0.15);
        width.animateConstant(context, 0);
      },
      [&] { done = true; });
  EXPECT_FALSE(done) << "the change takes the group's time";
  ASSERT_TRUE(tst::spinUntil([&] {
    seen.append(panel->maximumWidth());
    return done;
  }));
  EXPECT_EQ(width.constant(), 0);
  EXPECT_FALSE(panel->isVisible());
  EXPECT_TRUE(std::any_of(seen.begin(), seen.end(), [](int w) { return w > 0 && w < 200; }))
      << "passes through widths between";
  ui::AnimationContext::setAnimationsEnabled(false);
  width.setConstant(120);
  EXPECT_TRUE(panel->isVisible());
  EXPECT_EQ(panel->maximumWidth(), 120);
}

TEST(WindowFrame, FramesAnimateAndFullScreenComesAndGoes) {
  AnimationsOn on;
  ui::Window window;
  window.setGeometry(30, 40, 400, 300);
  window.show();
  tst::spinOnce();
  const QRect target(50, 60, 500, 350);
  window.setFrame(target, true, true);
  EXPECT_NE(window.frame(), target) << "moves over its animation";
  ASSERT_TRUE(tst::spinUntil([&] { return window.frame() == target; }));

  ui::AnimationContext::setAnimationsEnabled(false);
  ASSERT_TRUE(window.tryToPerform("toggleFullScreen:", nullptr));
  EXPECT_TRUE(window.isInFullScreenMode());
  ASSERT_TRUE(tst::spinUntil(
      [&] { return window.isFullScreen() && window.frame() == window.screen()->geometry(); }));
  window.toggleFullScreen();
  EXPECT_FALSE(window.isInFullScreenMode());
  ASSERT_TRUE(tst::spinUntil([&] { return !window.isFullScreen() && window.frame() == target; }));
  // The window manager's own full screen is seen as well.
  window.setWindowState(Qt::WindowFullScreen);
  EXPECT_TRUE(window.isInFullScreenMode());
  window.setWindowState(Qt::WindowNoState);
}
