// Qt's input events become responder-chain events of the view; cursor
// rectangles are hit-tested as the mouse moves.
#include <QContextMenuEvent>
#include <QEvent>
#include <QMouseEvent>
#include <QTimer>

#include "appkit/View.h"
#include "appkit/Window.h"

namespace ui {

bool View::event(QEvent* event) {
  switch (event->type()) {
    case QEvent::ParentChange:
      for (QWidget* above = parentWidget(); above; above = above->parentWidget())
        if (auto* responder = dynamic_cast<Responder*>(above)) {
          setNextResponder(responder);
          break;
        }
      if (superview()) layoutInSuperview();
      break;
    case QEvent::Leave:
      updateTrackingAreas({}, Event(), true);
      break;
    case QEvent::ContextMenu: {
      const auto* request = static_cast<QContextMenuEvent*>(event);
      const Event click = Event::mouseEvent(
          EventType::RightMouseDown, convertPointToView(pointFromWidget(request->pos()), nullptr),
          Event::modifierFlagsForQt(request->modifiers()), window());
      if (QMenu* shown = menuForEvent(click)) {
        shown->popup(request->globalPos());
        event->accept();
        return true;
      }
      break;
    }
    case QEvent::Wheel:
      if (wheelMakesGestures_ && wheelGesture(*event)) {
        event->accept();
        return true;
      }
      [[fallthrough]];
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseMove:
    case QEvent::TabletPress:
    case QEvent::TabletMove:
    case QEvent::TabletRelease:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::NativeGesture: {
      std::optional<Event> translated = Event::fromQt(*event, this);
      if (!translated) break;
      if (translated->type() == EventType::LeftMouseDown) leftButtonDown_ = true;
      if (translated->type() == EventType::LeftMouseUp) {
        leftButtonDown_ = false;
        if (autoscrollTimer_) autoscrollTimer_->stop();
        autoscrollEvent_.reset();
      }
      if (event->type() == QEvent::MouseMove) {
        const QPointF position = static_cast<QMouseEvent*>(event)->position();
        updateCursor(position);
        updateTrackingAreas(position, *translated, false);
      }
      if (event->type() == QEvent::MouseButtonPress && acceptsFirstResponder()) {
        if (Window* window = Window::ofWidget(this))
          window->makeFirstResponder(this);
        else
          setFocus(Qt::MouseFocusReason);
      }
      dispatch(*translated);
      event->accept();
      return true;
    }
    default:
      break;
  }
  return QWidget::event(event);
}

void View::dispatch(Event& event) {
  switch (event.type()) {
    case EventType::LeftMouseDown:
      return mouseDown(event);
    case EventType::LeftMouseUp:
      return mouseUp(event);
    case EventType::LeftMouseDragged:
      return mouseDragged(event);
    case EventType::RightMouseDown:
      return rightMouseDown(event);
    case EventType::RightMouseUp:
      return rightMouseUp(event);
    case EventType::RightMouseDragged:
      return rightMouseDragged(event);
    case EventType::OtherMouseDown:
      return otherMouseDown(event);
    case EventType::OtherMouseUp:
      return otherMouseUp(event);
    case EventType::OtherMouseDragged:
      return otherMouseDragged(event);
    case EventType::MouseMoved:
      return mouseMoved(event);
    case EventType::MouseEntered:
      return mouseEntered(event);
    case EventType::MouseExited:
      return mouseExited(event);
    case EventType::KeyDown:
      return keyDown(event);
    case EventType::KeyUp:
      return keyUp(event);
    case EventType::FlagsChanged:
      return flagsChanged(event);
    case EventType::ScrollWheel:
      return scrollWheel(event);
    case EventType::TabletPoint:
      return tabletPoint(event);
    case EventType::TabletProximity:
      return tabletProximity(event);
    case EventType::Magnify:
      return magnifyWithEvent(event);
    case EventType::Rotate:
      return rotateWithEvent(event);
    case EventType::Swipe:
      return swipeWithEvent(event);
    case EventType::BeginGesture:
      return beginGestureWithEvent(event);
    case EventType::EndGesture:
      return endGestureWithEvent(event);
  }
}

void View::resetCursorRects() {}

void View::addCursorRect(const QRectF& rect, const QCursor& cursor) {
  if (rect.isEmpty()) return;
  cursorRects_.emplace_back(rect, cursor);
  setMouseTracking(true);
}

void View::discardCursorRects() { cursorRects_.clear(); }

void View::rebuildCursorRects() {
  discardCursorRects();
  resetCursorRects();
  if (underMouse()) updateCursor(mapFromGlobal(QCursor::pos()));
}

std::optional<QCursor> View::cursorAtPoint(const QPointF& point) const {
  for (auto it = cursorRects_.rbegin(); it != cursorRects_.rend(); ++it)
    if (it->first.contains(point)) return it->second;
  return std::nullopt;
}

void View::updateCursor(const QPointF& widgetPoint) {
  if (std::optional<QCursor> cursor = cursorAtPoint(pointFromWidget(widgetPoint)))
    setCursor(*cursor);
  else if (testAttribute(Qt::WA_SetCursor))
    unsetCursor();
}

void View::resetCursorRectsOfWindow(QWidget* widget) {
  if (!widget) return;
  QWidget* window = widget->window();
  QList<View*> views = window->findChildren<View*>();
  if (auto* self = qobject_cast<View*>(window)) views.prepend(self);
  for (View* view : views) view->rebuildCursorRects();
}

}  // namespace ui
