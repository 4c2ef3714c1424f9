// Stamps along the mouse path and the redraw of what they touched. Each
// stamp is composited source-over onto the accumulator in place, so a dab
// costs a render of its own square, whatever the size of the layer.
#include <cmath>

#include "coreimage/Rect.h"
#include "foundation/OperationQueue.h"
#include "foundation/Timer.h"
#include "model/IMImagesUtilities.h"
#include "model/Layer.h"
#include "tools/IMCITool.h"
#include "tools/IMCIToolStroke.h"
#include "tools/IMToolsController.h"
#include "window/IMView.h"

namespace {

// Segments this long are not interpolated: one stamp at the end point.
constexpr int kMostStampsPerStep = 10000;
// From this many stamps on, one redraw covers the whole pending area.
constexpr int kStampsFlushingRedraws = 21;

struct Spacing {
  double sx = 0, sy = 0;
  int n = 0;
};

// Steps of length `step` along (dx, dy), and how many fit in it.
Spacing spacingAlong(double dx, double dy, double step) {
  Spacing s;
  if (dx != 0) {
    s.sx = std::sqrt(step * step / (dy * dy / (dx * dx) + 1)) * (dx > 0 ? 1 : -1);
    s.sy = dy * s.sx / dx;
    s.n = s.sx != 0 ? int(std::min(std::floor(std::abs(dx / s.sx)), 1e9)) : 0;
  } else {
    s.sy = step * (dy > 0 ? 1 : -1);
    s.n = s.sy != 0 ? int(std::min(std::floor(std::abs(dy / s.sy)), 1e9)) : 0;
  }
  return s;
}

}  // namespace

bool IMCITool::useToolWithPoint(const QPointF& point, double pressure) {
  if (!stroke_) return false;
  const double step = toolSize() / 4;
  const bool first = currentState() == 1;
  if (!isUsableAtLocation(point)) return false;
  const QPointF last = lastLocation();
  const double dx = double(IMImagesUtilities::roundFloat(point.x() - last.x()));
  const double dy = double(IMImagesUtilities::roundFloat(point.y() - last.y()));
  const Spacing s = spacingAlong(dx, dy, step);
  if (s.n >= kStampsFlushingRedraws) cancelDelayedRefresh();
  // Only the stamps' squares change, so only those are redrawn, not the
  // ends of the mouse's step.
  QRectF dirty;
  std::vector<ci::Image> stamps;
  if (!first && s.n > 0 && s.n < kMostStampsPerStep) {
    // Whole steps from the last point, stopping short of this one: the
    // next step's stamps continue from here.
    for (int k = 1; std::abs(dx) > std::abs(k * s.sx) || std::abs(dy) > std::abs(k * s.sy); ++k) {
      const QPointF at = last + QPointF(k * s.sx, k * s.sy);
      stamps.push_back(stampAt(at, pressure));
      dirty = dirty.united(toolRectWithPoint(at));
    }
  } else {
    // One stamp at the point itself (at mouse-down the last location
    // belongs to the stroke before).
    stamps.push_back(stampAt(point, pressure));
    dirty = toolRectWithPoint(point).intersected(stroke_->workingRect);
  }
  paint(std::move(stamps), dirty);
  return true;
}

// A stamp never reaches past its brush's reach, so it is cut there and the
// accumulator renders only that square; then to the selection, or to the
// working rectangle.
ci::Image IMCITool::stampAt(const QPointF& point, double pressure) const {
  ci::Image stamp = const_cast<IMCITool*>(this)->imageWithPoint(point, pressure, ima_emptyImage());
  stamp = ajustedImage(stamp, point);
  if (stamp.isNull()) return stamp;
  QRectF area = toolRectWithPoint(point).intersected(stroke_->workingRect);
  if (stroke_->hasSelection) area = area.intersected(stroke_->selectionRect);
  stamp = stamp.imageByCroppingToRect(ci::intersect(stamp.extent(), area));
  if (stroke_->hasSelection && !stroke_->selectionMask.isNull())
    stamp = ima_maskWithImage(stamp, stroke_->selectionMask);
  return stamp;
}

void IMCITool::paint(std::vector<ci::Image> stamps, const QRectF& dirty) {
  std::shared_ptr<IMCIToolStroke> stroke = stroke_;
  // The stamps of one mouse step go in together, spread over the workers.
  auto render = [stroke, stamps = std::move(stamps), dirty] {
    stroke->accumulator->stampEachOver(stamps, dirty);
  };
  if (!stroke->queued) {
    render();
    refreshInRect(dirty);
    return;
  }
  std::weak_ptr<int> alive = alive_;
  drawingOperationQueue()->addOperationWithBlock([this, alive, render, dirty] {
    render();
    fnd::OperationQueue::mainQueue()->addOperationWithBlock([this, alive, dirty] {
      if (!alive.expired()) refreshInRect(dirty);
    });
  });
}

QRectF IMCITool::refreshRect() const {
  std::lock_guard lock(refreshMutex_);
  return refreshRect_;
}

void IMCITool::setRefreshRect(const QRectF& rect) {
  std::lock_guard lock(refreshMutex_);
  refreshRect_ = rect;
}

// Queued stamps arrive faster than the screen needs them: their areas are
// gathered and redrawn together a tenth of a second after the first.
void IMCITool::refreshInRect(const QRectF& rect) {
  const bool queued = stroke_ ? stroke_->queued : (unbaked_ && unbaked_->queued);
  if (!queued) {
    setRefreshRect(rect);
    redrawPendingArea();
    return;
  }
  const QRectF pending = refreshRect();
  setRefreshRect(pending.isEmpty() ? rect : pending.united(rect));
  if (delayedRefresh_ && delayedRefresh_->isValid()) return;
  std::weak_ptr<int> alive = alive_;
  delayedRefresh_ = fnd::Timer::scheduledTimer(0.1, false, [this, alive](fnd::Timer&) {
    if (alive.expired()) return;
    redrawPendingArea();
    setRefreshRect(QRectF());
  });
}

void IMCITool::redrawPendingArea() {
  IMView* view = toolsController() ? toolsController()->mainView() : nullptr;
  const QRectF area = refreshRect();
  if (view) {
    if (ci::isInfinite(area))
      view->setNeedsDisplay(true);
    else
      view->setNeedsDisplayOfStrokeInRect(view->transformRectFromDocumentToView(area));
  }
  lastDrawingDate_ = QDateTime::currentDateTimeUtc();
}

// The next refresh then starts a new delay covering everything pending.
void IMCITool::cancelDelayedRefresh() {
  if (delayedRefresh_) delayedRefresh_->invalidate();
  delayedRefresh_.reset();
}
