// The window's frame changes and its full-screen mode: transitions that
// the delegate may animate itself, the window manager's full screen
// entered when the frame has reached the whole screen and left as soon as
// the mask is cleared, and changes made by the window manager reported.
#include <QEvent>
#include <QScreen>
#include <QWindowStateChangeEvent>

#include "appkit/AnimationContext.h"
#include "appkit/Window.h"

namespace ui {

void Window::setFrame(const QRect& frame, bool display, bool animate) {
  if (!frame.isValid()) return;
  if (animate && AnimationContext::animationsEnabled()) {
    AnimationContext::runAnimationGroup(
        [this, frame](AnimationContext& context) { context.animate(this, "frame", frame); });
    return;
  }
  setFrameNow(frame);
  if (display) repaint();
}

void Window::setFrameNow(const QRect& frame) {
  if (!frame.isValid()) return;
  setGeometry(frame);
  if (fullScreenMask_ && !isFullScreen() && frame == screenFrame()) {
    switchingFullScreenState_ = true;
    setWindowState(windowState() | Qt::WindowFullScreen);
    switchingFullScreenState_ = false;
  }
}

QRect Window::screenVisibleFrame() const {
  QScreen* on = screen();
  return on ? on->availableGeometry() : QRect();
}

QRect Window::screenFrame() const {
  QScreen* on = screen();
  return on ? on->geometry() : QRect();
}

void Window::setFullScreenMask(bool on) {
  if (fullScreenMask_ == on) return;
  fullScreenMask_ = on;
  switchingFullScreenState_ = true;
  if (!on && isFullScreen()) setWindowState(windowState() & ~Qt::WindowFullScreen);
  if (on && geometry() == screenFrame()) setWindowState(windowState() | Qt::WindowFullScreen);
  switchingFullScreenState_ = false;
}

void Window::toggleFullScreen() {
  const bool entering = !fullScreenMask_;
  if (entering) {
    // Hide the dock, auto-hide the menu bar and the toolbar, full screen.
    constexpr unsigned kProposed = 2 | 4 | 1024 | 2048;
    presentationOptions_ =
        delegate_ ? delegate_->windowWillUseFullScreenPresentationOptions(this, kProposed)
                  : kProposed;
  }
  const QList<Window*> custom = !delegate_ ? QList<Window*>()
                                : entering
                                    ? delegate_->customWindowsToEnterFullScreenForWindow(this)
                                    : delegate_->customWindowsToExitFullScreenForWindow(this);
  // Without a transition of the delegate's the window manager switches,
  // and gives the frame back itself.
  if (!custom.contains(this)) {
    fullScreenMask_ = entering;
    switchingFullScreenState_ = true;
    setWindowState(entering ? windowState() | Qt::WindowFullScreen
                            : windowState() & ~Qt::WindowFullScreen);
    switchingFullScreenState_ = false;
    if (delegate_) delegate_->windowDidChangeFullScreenState(this);
    return;
  }
  if (entering)
    delegate_->windowStartCustomAnimationToEnterFullScreenWithDuration(
        this, fullScreenTransitionDuration());
  else
    delegate_->windowStartCustomAnimationToExitFullScreenWithDuration(
        this, fullScreenTransitionDuration());
}

// Full screen entered or left by the window manager's own key, or by a
// restored state: the mask follows, and the delegate adapts its look.
void Window::changeEvent(QEvent* event) {
  QMainWindow::changeEvent(event);
  if (event->type() != QEvent::WindowStateChange || switchingFullScreenState_) return;
  const bool full = isFullScreen();
  if (full == fullScreenMask_) return;
  fullScreenMask_ = full;
  if (delegate_) delegate_->windowDidChangeFullScreenState(this);
}

}  // namespace ui
