#include "appkit/Event.h"

#include <QEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QNativeGestureEvent>
#include <QTabletEvent>
#include <QWheelEvent>
#include <QWidget>
#include <cmath>

namespace ui {

namespace {

// A release or drag carries the click count of the press that began it.
int lastClickCount = 1;

EventType downType(Qt::MouseButton button) {
  if (button == Qt::LeftButton) return EventType::LeftMouseDown;
  if (button == Qt::RightButton) return EventType::RightMouseDown;
  return EventType::OtherMouseDown;
}

EventType upType(Qt::MouseButton button) {
  if (button == Qt::LeftButton) return EventType::LeftMouseUp;
  if (button == Qt::RightButton) return EventType::RightMouseUp;
  return EventType::OtherMouseUp;
}

EventType moveType(Qt::MouseButtons buttons) {
  if (buttons & Qt::LeftButton) return EventType::LeftMouseDragged;
  if (buttons & Qt::RightButton) return EventType::RightMouseDragged;
  if (buttons != Qt::NoButton) return EventType::OtherMouseDragged;
  return EventType::MouseMoved;
}

int buttonNumberOf(Qt::MouseButton button) {
  if (button == Qt::LeftButton || button == Qt::NoButton) return 0;
  if (button == Qt::RightButton) return 1;
  if (button == Qt::MiddleButton) return 2;
  return int(std::log2(double(button)));
}

}  // namespace

unsigned Event::modifierFlagsForQt(int qtModifiers) {
  unsigned flags = 0;
  if (qtModifiers & Qt::ShiftModifier) flags |= ShiftKeyMask;
  if (qtModifiers & Qt::ControlModifier) flags |= CommandKeyMask;
  if (qtModifiers & Qt::AltModifier) flags |= AlternateKeyMask;
  if (qtModifiers & Qt::MetaModifier) flags |= ControlKeyMask;
  if (qtModifiers & Qt::KeypadModifier) flags |= NumericPadKeyMask;
  return flags;
}

void Event::setLocation(const QPointF& widgetPosition, const QWidget* receiver) {
  if (!receiver) {
    locationInWindow_ = widgetPosition;
    return;
  }
  window_ = receiver->window();
  const QPointF inWindow = receiver->mapTo(window_, widgetPosition);
  locationInWindow_ = QPointF(inWindow.x(), window_->height() - inWindow.y());
}

std::optional<Event> Event::fromQt(const QEvent& event, const QWidget* receiver) {
  switch (event.type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseMove:
      return fromMouse(event, receiver);
    case QEvent::TabletPress:
    case QEvent::TabletMove:
    case QEvent::TabletRelease:
    case QEvent::TabletEnterProximity:
    case QEvent::TabletLeaveProximity:
      return fromTablet(event, receiver);
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
      return fromKey(event);
    case QEvent::Wheel: {
      const auto& wheel = static_cast<const QWheelEvent&>(event);
      Event e;
      e.type_ = EventType::ScrollWheel;
      e.setLocation(wheel.position(), receiver);
      e.modifierFlags_ = modifierFlagsForQt(wheel.modifiers());
      // One notch of a wheel is one line.
      e.deltaX_ = wheel.angleDelta().x() / 120.0;
      e.deltaY_ = wheel.angleDelta().y() / 120.0;
      return e;
    }
    case QEvent::NativeGesture:
      return fromGesture(event, receiver);
    default:
      return std::nullopt;
  }
}

std::optional<Event> Event::fromMouse(const QEvent& event, const QWidget* receiver) {
  const auto& mouse = static_cast<const QMouseEvent&>(event);
  Event e;
  switch (event.type()) {
    case QEvent::MouseButtonPress:
      lastClickCount = 1;
      e.type_ = downType(mouse.button());
      break;
    case QEvent::MouseButtonDblClick:
      lastClickCount = 2;
      e.type_ = downType(mouse.button());
      break;
    case QEvent::MouseButtonRelease:
      e.type_ = upType(mouse.button());
      break;
    default:
      e.type_ = moveType(mouse.buttons());
      break;
  }
  e.setLocation(mouse.position(), receiver);
  e.modifierFlags_ = modifierFlagsForQt(mouse.modifiers());
  e.clickCount_ = e.type_ == EventType::MouseMoved ? 0 : lastClickCount;
  e.buttonNumber_ = buttonNumberOf(mouse.button());
  e.pressure_ = e.type_ == EventType::MouseMoved ? 0 : 1;
  return e;
}

std::optional<Event> Event::fromTablet(const QEvent& event, const QWidget* receiver) {
  const auto& tablet = static_cast<const QTabletEvent&>(event);
  Event e;
  switch (event.type()) {
    case QEvent::TabletPress:
      lastClickCount = 1;
      e.type_ = downType(tablet.button());
      break;
    case QEvent::TabletRelease:
      e.type_ = upType(tablet.button());
      break;
    case QEvent::TabletMove:
      e.type_ = moveType(tablet.buttons());
      break;
    default:
      e.type_ = EventType::TabletProximity;
      break;
  }
  e.setLocation(tablet.position(), receiver);
  e.modifierFlags_ = modifierFlagsForQt(tablet.modifiers());
  e.clickCount_ = e.type_ == EventType::TabletProximity ? 0 : lastClickCount;
  e.buttonNumber_ = buttonNumberOf(tablet.button());
  e.pressure_ = tablet.pressure();
  return e;
}

std::optional<Event> Event::fromGesture(const QEvent& event, const QWidget* receiver) {
  const auto& gesture = static_cast<const QNativeGestureEvent&>(event);
  Event e;
  switch (gesture.gestureType()) {
    case Qt::BeginNativeGesture:
      e.type_ = EventType::BeginGesture;
      break;
    case Qt::EndNativeGesture:
      e.type_ = EventType::EndGesture;
      break;
    case Qt::ZoomNativeGesture:
      e.type_ = EventType::Magnify;
      e.magnification_ = gesture.value();
      break;
    case Qt::RotateNativeGesture:
      // Qt turns clockwise for positive values, as its y axis points down.
      e.type_ = EventType::Rotate;
      e.rotation_ = -gesture.value();
      break;
    case Qt::SwipeNativeGesture: {
      // Qt gives the direction as an angle: 0 right, 90 up, 180 left, 270 down.
      e.type_ = EventType::Swipe;
      const int angle = int(std::lround(gesture.value())) % 360;
      if (angle == 0) e.deltaX_ = -1;
      if (angle == 180) e.deltaX_ = 1;
      if (angle == 90) e.deltaY_ = 1;
      if (angle == 270) e.deltaY_ = -1;
      break;
    }
    default:
      return std::nullopt;
  }
  e.setLocation(gesture.position(), receiver);
  e.modifierFlags_ = modifierFlagsForQt(gesture.modifiers());
  return e;
}

Event Event::mouseEvent(EventType type, const QPointF& locationInWindow, unsigned modifierFlags,
                        const QWidget* window, int clickCount, double pressure) {
  Event e;
  e.type_ = type;
  e.locationInWindow_ = locationInWindow;
  e.modifierFlags_ = modifierFlags;
  e.window_ = window;
  e.clickCount_ = clickCount;
  e.pressure_ = pressure;
  return e;
}

Event Event::gestureEvent(EventType type, const Event& from, double magnification, double rotation,
                          double deltaX, double deltaY) {
  Event e;
  e.type_ = type;
  e.window_ = from.window_;
  e.locationInWindow_ = from.locationInWindow_;
  e.modifierFlags_ = from.modifierFlags_;
  e.magnification_ = magnification;
  e.rotation_ = rotation;
  e.deltaX_ = deltaX;
  e.deltaY_ = deltaY;
  return e;
}

Event Event::keyEvent(EventType type, unsigned modifierFlags, const QString& characters,
                      const QString& charactersIgnoringModifiers, unsigned short keyCode,
                      bool isARepeat) {
  Event e;
  e.type_ = type;
  e.modifierFlags_ = modifierFlags;
  e.characters_ = characters;
  e.charactersIgnoringModifiers_ = charactersIgnoringModifiers;
  e.keyCode_ = keyCode;
  e.isARepeat_ = isARepeat;
  return e;
}

}  // namespace ui
