#include "window/FirstFitWatch.h"

#include <QEvent>
#include <QTimer>
#include <QWidget>
#include <QWindow>
#include <utility>

FirstFitWatch::FirstFitWatch(QWidget* window, std::function<double()> zoom,
                             std::function<void()> refit)
    : QObject(window), window_(window), zoom_(std::move(zoom)), refit_(std::move(refit)) {
  remember();
  window->installEventFilter(this);
  handle_ = window->windowHandle();
  if (handle_) handle_->installEventFilter(this);
  settle_.setSingleShot(true);
  connect(&settle_, &QTimer::timeout, this, [this] { stop(); });
  if (!handle_ || handle_->isExposed()) settleSoon();
}

void FirstFitWatch::remember() {
  fittedFrame_ = window_->frameGeometry();
  fittedZoom_ = zoom_();
}

// The manager's answers come from the window system (spontaneous events);
// a resize the program makes is sent directly, and is the user's or a
// caller's wish that a refit must not undo.
bool FirstFitWatch::eventFilter(QObject* watched, QEvent* event) {
  const QEvent::Type type = event->type();
  if (watched == handle_ && type == QEvent::Expose && handle_->isExposed()) settleSoon();
  if (watched != window_ || refitting_ || (type != QEvent::Resize && type != QEvent::Move))
    return false;
  if (type == QEvent::Resize && !event->spontaneous()) {
    stop();
  } else if (event->spontaneous() && !checkQueued_) {
    if (settle_.isActive()) settleSoon();
    // Several answers arrive together: the frame is read once they have.
    checkQueued_ = true;
    QTimer::singleShot(0, this, [this] {
      checkQueued_ = false;
      checkFrame();
    });
  }
  return false;
}

void FirstFitWatch::checkFrame() {
  if (!window_ || zoom_() != fittedZoom_) return stop();
  if (window_->frameGeometry() == fittedFrame_) return;
  refitting_ = true;
  refit_();
  refitting_ = false;
  if (!window_) return stop();
  remember();
  if (++refits_ >= kMostRefits) stop();
}

// The placement has settled once the manager has been quiet for a while
// since the window came on screen.
void FirstFitWatch::settleSoon() { settle_.start(settleMilliseconds); }

void FirstFitWatch::stop() {
  settle_.stop();
  if (window_) window_->removeEventFilter(this);
  if (handle_) handle_->removeEventFilter(this);
  window_ = nullptr;
  handle_ = nullptr;
  deleteLater();
}
