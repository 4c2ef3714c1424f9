#include "graphics/BezierPath.h"

#include <QPainterPathStroker>
#include <QtMath>
#include <cmath>

#include "graphics/AffineTransform.h"
#include "graphics/GraphicsContext.h"

namespace gfx {

BezierPath BezierPath::bezierPathWithRect(const QRectF& rect) {
  BezierPath path;
  path.appendBezierPathWithRect(rect);
  return path;
}

BezierPath BezierPath::bezierPathWithOvalInRect(const QRectF& rect) {
  BezierPath path;
  path.appendBezierPathWithOvalInRect(rect);
  return path;
}

BezierPath BezierPath::bezierPathWithRoundedRect(const QRectF& rect, double xRadius,
                                                 double yRadius) {
  BezierPath path;
  path.appendBezierPathWithRoundedRect(rect, xRadius, yRadius);
  return path;
}

void BezierPath::moveToPoint(const QPointF& point) { path_.moveTo(point); }
void BezierPath::lineToPoint(const QPointF& point) { path_.lineTo(point); }

void BezierPath::curveToPoint(const QPointF& end, const QPointF& controlPoint1,
                              const QPointF& controlPoint2) {
  path_.cubicTo(controlPoint1, controlPoint2, end);
}

void BezierPath::relativeLineToPoint(const QPointF& delta) {
  path_.lineTo(path_.currentPosition() + delta);
}

void BezierPath::closePath() { path_.closeSubpath(); }
void BezierPath::removeAllPoints() { path_.clear(); }

void BezierPath::appendBezierPath(const BezierPath& other) { path_.addPath(other.path_); }

void BezierPath::appendBezierPathWithRect(const QRectF& rect) { path_.addRect(rect.normalized()); }

void BezierPath::appendBezierPathWithOvalInRect(const QRectF& rect) { path_.addEllipse(rect); }

void BezierPath::appendBezierPathWithRoundedRect(const QRectF& rect, double xRadius,
                                                 double yRadius) {
  // Radii larger than half a side would fold the corners over each other.
  QRectF r = rect.normalized();
  xRadius = std::clamp(xRadius, 0.0, r.width() / 2);
  yRadius = std::clamp(yRadius, 0.0, r.height() / 2);
  path_.addRoundedRect(r, xRadius, yRadius);
}

void BezierPath::appendBezierPathWithPoints(const QVector<QPointF>& points) {
  for (const QPointF& point : points) {
    if (path_.elementCount() == 0)
      path_.moveTo(point);
    else
      path_.lineTo(point);
  }
}

namespace {

// The sweep from `start` to `end` in the asked direction, at most one turn.
double arcSweep(double startAngle, double endAngle, bool clockwise) {
  double sweep = endAngle - startAngle;
  if (clockwise) {
    while (sweep > 0) sweep -= 360;
    while (sweep < -360) sweep += 360;
  } else {
    while (sweep < 0) sweep += 360;
    while (sweep > 360) sweep -= 360;
  }
  return sweep;
}

}  // namespace

void BezierPath::appendBezierPathWithArcWithCenter(const QPointF& center, double radius,
                                                   double startAngle, double endAngle,
                                                   bool clockwise) {
  auto at = [&](double radians) {
    return center + QPointF(std::cos(radians), std::sin(radians)) * radius;
  };
  double start = qDegreesToRadians(startAngle);
  double sweep = qDegreesToRadians(arcSweep(startAngle, endAngle, clockwise));
  if (path_.elementCount() == 0)
    path_.moveTo(at(start));
  else
    path_.lineTo(at(start));
  // Cubic pieces of at most a quarter turn stay within 0.03 % of the circle.
  int pieces = std::max(1, int(std::ceil(std::abs(sweep) / (M_PI / 2) - 1e-9)));
  double step = sweep / pieces;
  double k = 4.0 / 3.0 * std::tan(step / 4) * radius;
  for (int i = 0; i < pieces; ++i) {
    double a0 = start + step * i, a1 = a0 + step;
    QPointF t0(-std::sin(a0), std::cos(a0)), t1(-std::sin(a1), std::cos(a1));
    path_.cubicTo(at(a0) + t0 * k, at(a1) - t1 * k, at(a1));
  }
}

BezierPath BezierPath::bezierPathByReversingPath() const {
  BezierPath reversed = *this;
  reversed.path_ = path_.toReversed();
  return reversed;
}

void BezierPath::transformUsingAffineTransform(const AffineTransform& transform) {
  path_ = transform.toQTransform().map(path_);
}

QPainterPath BezierPath::toQPainterPath() const {
  QPainterPath path = path_;
  path.setFillRule(windingRule_ == WindingRule::EvenOdd ? Qt::OddEvenFill : Qt::WindingFill);
  return path;
}

bool BezierPath::containsPoint(const QPointF& point) const {
  return toQPainterPath().contains(point);
}

QRectF BezierPath::bounds() const {
  // QPainterPath::boundingRect() hugs curves; it is exact for lines too.
  return path_.boundingRect();
}

QRectF BezierPath::controlPointBounds() const { return path_.controlPointRect(); }

void BezierPath::setLineDash(const QVector<double>& pattern, double phase) {
  dash_ = pattern;
  dashPhase_ = phase;
}

QPen BezierPath::pen(const QColor& color) const {
  QPen pen(color, lineWidth_);
  pen.setCapStyle(cap_ == LineCapStyle::Round    ? Qt::RoundCap
                  : cap_ == LineCapStyle::Square ? Qt::SquareCap
                                                 : Qt::FlatCap);
  pen.setJoinStyle(join_ == LineJoinStyle::Round   ? Qt::RoundJoin
                   : join_ == LineJoinStyle::Bevel ? Qt::BevelJoin
                                                   : Qt::SvgMiterJoin);
  pen.setMiterLimit(miterLimit_);
  if (!dash_.isEmpty() && lineWidth_ > 0) {
    // Qt measures dashes in pen widths; ours are in points.
    QVector<qreal> pattern;
    for (double length : dash_) pattern.append(std::max(length, 1e-6) / lineWidth_);
    if (pattern.size() % 2) pattern += pattern;  // odd patterns repeat with roles swapped
    pen.setDashPattern(pattern);
    pen.setDashOffset(dashPhase_ / lineWidth_);
  }
  return pen;
}

QPainterPath BezierPath::strokedOutline() const {
  QPainterPathStroker stroker(pen(Qt::black));
  // A zero width means the thinnest line the device can show.
  if (lineWidth_ <= 0) stroker.setWidth(1.0);
  QPainterPath outline = stroker.createStroke(path_);
  outline.setFillRule(Qt::WindingFill);
  return outline;
}

void BezierPath::fill(const QColor& color) const {
  if (GraphicsContext* context = GraphicsContext::current()) context->fillPath(*this, color);
}

void BezierPath::stroke(const QColor& color) const {
  if (GraphicsContext* context = GraphicsContext::current()) context->strokePath(*this, color);
}

void BezierPath::addClip() const {
  if (GraphicsContext* context = GraphicsContext::current()) context->clipToPath(*this);
}

void BezierPath::setClip() const {
  if (GraphicsContext* context = GraphicsContext::current()) context->setClipPath(*this);
}

void BezierPath::fillRect(const QRectF& rect, const QColor& color) {
  bezierPathWithRect(rect).fill(color);
}

void BezierPath::strokeRect(const QRectF& rect, const QColor& color, double lineWidth) {
  BezierPath path = bezierPathWithRect(rect);
  path.setLineWidth(lineWidth);
  path.stroke(color);
}

}  // namespace gfx
