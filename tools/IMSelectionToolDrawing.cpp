// The selection's outline as marching ants: black and white dashes that
// interlock and crawl one unit per tick of the tools controller's timer,
// over a grey tint while the selection is being made or moved.
#include <QLineF>
#include <QPainterPath>
#include <algorithm>

#include "graphics/GraphicsContext.h"
#include "tools/IMSelectionTool.h"
#include "tools/IMToolsController.h"
#include "window/IMView.h"

namespace {

// A stroke of width 1, drawn without antialiasing, stays within this of
// the path.
constexpr double kStrokeReach = 1;
// A band is a straight run at most this thick (view units)...
constexpr double kRunThickness = 3;
// ...or a square patch at most this wide, where the outline turns.
constexpr double kPatchSide = 24;

const QColor kDarkGrayTint(85, 85, 85, 51);

// The part of the segment a-b inside `clip`, as parameters t0 <= t1 along
// it; false when none is (Liang-Barsky).
bool clipSegment(const QPointF& a, const QPointF& b, const QRectF& clip, double* t0, double* t1) {
  const double dx = b.x() - a.x(), dy = b.y() - a.y();
  const double p[] = {-dx, dx, -dy, dy};
  const double q[] = {a.x() - clip.x(), clip.x() + clip.width() - a.x(), a.y() - clip.y(),
                      clip.y() + clip.height() - a.y()};
  *t0 = 0, *t1 = 1;
  for (int i = 0; i < 4; ++i) {
    if (p[i] == 0) {
      if (q[i] < 0) return false;
      continue;
    }
    const double t = q[i] / p[i];
    if (p[i] < 0)
      *t0 = std::max(*t0, t);
    else
      *t1 = std::min(*t1, t);
  }
  return *t0 <= *t1;
}

// Strokes only the parts of the outline inside `clip`, each dashed as it
// would be along the whole outline: a tick that redraws a strip of the
// view dashes that strip's few segments, not the whole outline.
void strokeDashesInside(const QPainterPath& outline, const QRectF& clip,
                        const QVector<double>& dash, double phase, const QColor& color) {
  double along = 0;
  for (int i = 1; i < outline.elementCount(); ++i) {
    const QPainterPath::Element element = outline.elementAt(i);
    const QPointF a = outline.elementAt(i - 1), b = element;
    if (element.isMoveTo()) continue;
    const double length = QLineF(a, b).length();
    double t0 = 0, t1 = 0;
    if (length > 0 && clipSegment(a, b, clip, &t0, &t1)) {
      gfx::BezierPath piece;
      piece.moveToPoint(a + (b - a) * t0);
      piece.lineToPoint(a + (b - a) * t1);
      piece.setLineWidth(1);
      piece.setLineDash(dash, phase + along + t0 * length);
      piece.stroke(color);
    }
    along += length;
  }
}

}  // namespace

gfx::BezierPath IMSelectionTool::outlineInView() const {
  IMView* view = toolsController() ? toolsController()->mainView() : nullptr;
  gfx::BezierPath outline = selectedPath_;
  if (view) outline.transformUsingAffineTransform(view->transformation());
  outline.setLineWidth(1);
  return outline;
}

void IMSelectionTool::draw() {
  if (!hasSelection()) return;
  gfx::GraphicsContext* context = gfx::GraphicsContext::current();
  IMToolsController* controller = toolsController();
  if (!context || !controller) return;
  gfx::BezierPath outline = outlineInView();
  const double phase = double(controller->animationTime() % 8);
  context->saveGState();
  if (isInUse()) outline.fill(kDarkGrayTint);
  // Dashes on whole view units stay crisp instead of smearing over two.
  context->setShouldAntialias(false);
  const QPainterPath path = outline.toQPainterPath();
  const QRectF clip = context->hasClip() ? context->clipBoundingBox().adjusted(-1, -1, 1, 1)
                                         : path.boundingRect().adjusted(-1, -1, 1, 1);
  strokeDashesInside(path, clip, {5, 3}, phase, Qt::black);
  strokeDashesInside(path, clip, {3, 5}, phase + 3, Qt::white);
  context->restoreGState();
  // The cursor areas follow a selection that changed, once per change.
  if (!isInUse() && cursorRectsSelection_ != selectedRect_) {
    cursorRectsSelection_ = selectedRect_;
    if (IMView* view = controller->mainView()) view->rebuildCursorRects();
  }
}

// Greedy: a band grows along the outline while it stays a thin straight
// run or a small patch, so straight edges make one long thin band each
// and turns a string of small ones.
QList<QRectF> IMSelectionTool::outlineBandRects() const {
  QList<QRectF> bands;
  if (!hasSelection()) return bands;
  const QPainterPath outline = outlineInView().toQPainterPath();
  double left = 0, right = 0, bottom = 0, top = 0;
  bool open = false;
  auto close = [&] {
    if (open)
      bands.append(QRectF(left - kStrokeReach, bottom - kStrokeReach,
                          right - left + 2 * kStrokeReach, top - bottom + 2 * kStrokeReach));
    open = false;
  };
  for (int i = 0; i < outline.elementCount(); ++i) {
    const QPainterPath::Element element = outline.elementAt(i);
    const QPointF p = element;
    if (element.isMoveTo()) close();
    if (open) {
      const double l = std::min(left, p.x()), r = std::max(right, p.x());
      const double b = std::min(bottom, p.y()), t = std::max(top, p.y());
      if (std::min(r - l, t - b) <= kRunThickness || std::max(r - l, t - b) <= kPatchSide) {
        left = l, right = r, bottom = b, top = t;
        continue;
      }
      // The new band starts where the last one ended, so the segment
      // between them is covered.
      const QPointF last = outline.elementAt(i - 1);
      close();
      left = right = last.x(), bottom = top = last.y();
      open = true;
      left = std::min(left, p.x()), right = std::max(right, p.x());
      bottom = std::min(bottom, p.y()), top = std::max(top, p.y());
      continue;
    }
    left = right = p.x(), bottom = top = p.y();
    open = true;
  }
  close();
  return bands;
}
