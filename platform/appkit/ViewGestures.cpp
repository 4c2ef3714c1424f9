// Touchpad gestures made from the wheel, for desktops that deliver no
// native ones: Ctrl with a vertical turn magnifies, Ctrl+Shift rotates and
// Ctrl with a horizontal turn swipes once per burst. A burst of wheel
// events is one gesture, framed by begin and end events; it ends when the
// touchpad reports the end of its scroll, or after a pause.
#include <QTimer>
#include <QWheelEvent>
#include <cmath>

#include "appkit/View.h"

namespace ui {

namespace {

constexpr int kBurstPauseMs = 250;
// One notch of a wheel (120 eighths of a degree).
constexpr double kNotch = 120;
constexpr double kMagnificationPerNotch = 0.1;
constexpr double kDegreesPerNotch = 15;
// Touchpads report pixels: this many make one notch.
constexpr double kPixelsPerNotch = 60;

// The turn in notches, from pixels where the device reports them.
QPointF notchesOf(const QWheelEvent& wheel) {
  if (!wheel.pixelDelta().isNull() && wheel.phase() != Qt::NoScrollPhase)
    return QPointF(wheel.pixelDelta()) / kPixelsPerNotch;
  return QPointF(wheel.angleDelta()) / kNotch;
}

}  // namespace

bool View::wheelGesture(const QEvent& qtEvent) {
  const auto& wheel = static_cast<const QWheelEvent&>(qtEvent);
  const bool ctrl = wheel.modifiers() & Qt::ControlModifier;
  if (!ctrl && !wheelGestureOpen_) return false;
  std::optional<Event> base = Event::fromQt(qtEvent, this);
  if (!base) return false;
  if (!wheelGestureOpen_) {
    wheelGestureOpen_ = true;
    wheelSwipeSent_ = false;
    sendWheelGestureEvent(EventType::BeginGesture, *base);
  }
  const QPointF notches = notchesOf(wheel);
  const bool shift = wheel.modifiers() & Qt::ShiftModifier;
  // Some systems turn Shift+wheel into a horizontal turn: either axis rotates.
  const double turn = std::abs(notches.y()) >= std::abs(notches.x()) ? notches.y() : notches.x();
  Event gesture = *base;
  if (ctrl && shift) {
    gesture = Event::gestureEvent(EventType::Rotate, *base, 0, turn * kDegreesPerNotch, 0, 0);
  } else if (ctrl && std::abs(notches.x()) > std::abs(notches.y())) {
    if (!wheelSwipeSent_) {
      wheelSwipeSent_ = true;
      gesture = Event::gestureEvent(EventType::Swipe, *base, 0, 0, notches.x() > 0 ? 1 : -1, 0);
    }
  } else if (ctrl) {
    gesture = Event::gestureEvent(EventType::Magnify, *base, notches.y() * kMagnificationPerNotch,
                                  0, 0, 0);
  }
  if (gesture.type() != EventType::ScrollWheel) dispatch(gesture);
  if (wheel.phase() == Qt::ScrollEnd || !ctrl) {
    endWheelGesture();
    return true;
  }
  if (!wheelGestureTimer_) {
    wheelGestureTimer_ = new QTimer(this);
    wheelGestureTimer_->setSingleShot(true);
    connect(wheelGestureTimer_, &QTimer::timeout, this, [this] { endWheelGesture(); });
  }
  wheelGestureTimer_->start(kBurstPauseMs);
  return true;
}

void View::endWheelGesture() {
  if (!wheelGestureOpen_) return;
  wheelGestureOpen_ = false;
  if (wheelGestureTimer_) wheelGestureTimer_->stop();
  Event end = Event::gestureEvent(EventType::EndGesture, Event(), 0, 0, 0, 0);
  dispatch(end);
}

void View::sendWheelGestureEvent(EventType type, const Event& from) {
  Event gesture = Event::gestureEvent(type, from, 0, 0, 0, 0);
  dispatch(gesture);
}

}  // namespace ui
