// Tracking areas and the contextual menu of a view: the owner of an area
// hears the pointer enter and leave it (and move over it when asked), and a
// right click opens the view's menu.
#include <algorithm>

#include "appkit/View.h"

namespace ui {

int View::addTrackingArea(const QRectF& rect, unsigned options, Responder* owner) {
  TrackingArea area;
  area.identifier = nextTrackingArea_++;
  area.rect = rect;
  area.options = options;
  area.owner = owner;
  trackingAreas_.push_back(area);
  setMouseTracking(true);
  return area.identifier;
}

void View::removeTrackingArea(int identifier) {
  std::erase_if(trackingAreas_,
                [identifier](const TrackingArea& area) { return area.identifier == identifier; });
}

// `left` means the pointer left the view's widget: every area it was in
// is exited. Owners may add or remove areas as they hear about them, so
// the areas are visited by identifier.
void View::updateTrackingAreas(const QPointF& widgetPoint, const Event& event, bool left) {
  if (trackingAreas_.empty()) return;
  const QPointF point = pointFromWidget(widgetPoint);
  std::vector<int> identifiers;
  for (const TrackingArea& area : trackingAreas_) identifiers.push_back(area.identifier);
  for (int identifier : identifiers) {
    auto area =
        std::find_if(trackingAreas_.begin(), trackingAreas_.end(),
                     [identifier](const TrackingArea& a) { return a.identifier == identifier; });
    if (area == trackingAreas_.end() || !area->owner) continue;
    const QRectF rect = (area->options & TrackingInVisibleRect) ? visibleRect() : area->rect;
    const bool inside = !left && rect.contains(point);
    const bool wasInside = area->inside;
    area->inside = inside;
    Responder* owner = area->owner;
    const unsigned options = area->options;
    const auto reported = [&](EventType type) {
      return Event::mouseEvent(type, event.locationInWindow(), event.modifierFlags(), window(), 0,
                               0);
    };
    if (inside != wasInside && (options & TrackingMouseEnteredAndExited)) {
      Event crossing = reported(inside ? EventType::MouseEntered : EventType::MouseExited);
      inside ? owner->mouseEntered(crossing) : owner->mouseExited(crossing);
    } else if (inside && (options & TrackingMouseMoved)) {
      Event moved = reported(EventType::MouseMoved);
      owner->mouseMoved(moved);
    }
  }
}

QMenu* View::menuForEvent(const Event&) { return menu_; }

QMenu* View::menu() const { return menu_; }

void View::setMenu(QMenu* menu) { menu_ = menu; }

}  // namespace ui
