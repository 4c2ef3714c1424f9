// Scrolling the enclosing clip view while a drag runs near or past its
// visible edge. The overshoot decides the step, so the further out the
// pointer, the faster the scroll; a timer repeats the drag while the
// pointer rests there with the button down.
#include <QTimer>
#include <algorithm>

#include "appkit/ClipView.h"
#include "appkit/ScrollView.h"
#include "appkit/View.h"

namespace ui {

namespace {

constexpr int kRepeatMs = 40;
// The least step inside the margin, so a pointer resting just inside the
// edge still moves the view.
constexpr double kLeastStep = 2;

// The step along one axis for a pointer at `p` in [low, high].
double stepToward(double p, double low, double high) {
  const double margin = View::kAutoscrollMargin;
  if (p < low + margin) return std::min(p - (low + margin), -kLeastStep);
  if (p > high - margin) return std::max(p - (high - margin), kLeastStep);
  return 0;
}

ClipView* clipAbove(const View* view) {
  for (QWidget* above = view->parentWidget(); above; above = above->parentWidget())
    if (auto* clip = qobject_cast<ClipView*>(above)) return clip;
  return nullptr;
}

}  // namespace

bool View::autoscroll(const Event& event) {
  ClipView* clip = clipAbove(this);
  if (!clip) return false;
  const QRectF visible = clip->bounds();
  const QPointF p = clip->convertPointFromView(event.locationInWindow(), nullptr);
  const QPointF step(stepToward(p.x(), visible.x(), visible.x() + visible.width()),
                     stepToward(p.y(), visible.y(), visible.y() + visible.height()));
  const QPointF before = clip->boundsOrigin();
  if (!step.isNull()) clip->scrollToPoint(before + step);
  const bool scrolled = clip->boundsOrigin() != before;
  if (!scrolled || !leftButtonDown_) {
    if (autoscrollTimer_) autoscrollTimer_->stop();
    autoscrollEvent_.reset();
    return scrolled;
  }
  autoscrollEvent_ = std::make_unique<Event>(event);
  if (!autoscrollTimer_) {
    autoscrollTimer_ = new QTimer(this);
    autoscrollTimer_->setSingleShot(true);
    connect(autoscrollTimer_, &QTimer::timeout, this, [this] { repeatAutoscroll(); });
  }
  autoscrollTimer_->start(kRepeatMs);
  return true;
}

bool View::isAutoscrolling() const { return autoscrollTimer_ && autoscrollTimer_->isActive(); }

// The same drag again: whoever handles drags converts the unchanged window
// location to the document that scrolled under it, and scrolls on.
void View::repeatAutoscroll() {
  if (!autoscrollEvent_ || !leftButtonDown_) return;
  Event again = *autoscrollEvent_;
  autoscrollEvent_.reset();
  mouseDragged(again);
}

}  // namespace ui
