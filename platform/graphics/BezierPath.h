// A path with its stroke settings and fill rule, in y-up document
// coordinates. Backed by QPainterPath; fill() and stroke() draw into the
// current GraphicsContext.
#pragma once

#include <QColor>
#include <QPainterPath>
#include <QPen>
#include <QPointF>
#include <QRectF>
#include <QVector>

namespace gfx {

class AffineTransform;

enum class WindingRule { NonZero = 0, EvenOdd = 1 };
enum class LineCapStyle { Butt = 0, Round = 1, Square = 2 };
enum class LineJoinStyle { Miter = 0, Round = 1, Bevel = 2 };

class BezierPath {
 public:
  BezierPath() = default;
  explicit BezierPath(const QPainterPath& path) : path_(path) {}

  static BezierPath bezierPath() { return {}; }
  static BezierPath bezierPathWithRect(const QRectF& rect);
  static BezierPath bezierPathWithOvalInRect(const QRectF& rect);
  static BezierPath bezierPathWithRoundedRect(const QRectF& rect, double xRadius, double yRadius);

  void moveToPoint(const QPointF& point);
  void lineToPoint(const QPointF& point);
  void curveToPoint(const QPointF& end, const QPointF& controlPoint1, const QPointF& controlPoint2);
  void relativeLineToPoint(const QPointF& delta);
  void closePath();
  void removeAllPoints();

  void appendBezierPath(const BezierPath& other);
  void appendBezierPathWithRect(const QRectF& rect);
  void appendBezierPathWithOvalInRect(const QRectF& rect);
  void appendBezierPathWithRoundedRect(const QRectF& rect, double xRadius, double yRadius);
  // A polyline: moves to the first point when the path is empty, else draws
  // a line to it.
  void appendBezierPathWithPoints(const QVector<QPointF>& points);
  // An arc of a circle, angles in degrees counter-clockwise from the x axis
  // (y-up); `clockwise` picks the direction from start to end. Joined to the
  // current point by a line, or started with a move on an empty path.
  void appendBezierPathWithArcWithCenter(const QPointF& center, double radius, double startAngle,
                                         double endAngle, bool clockwise = false);
  // The same path traversed backwards (reverses its winding).
  BezierPath bezierPathByReversingPath() const;

  void transformUsingAffineTransform(const AffineTransform& transform);

  // Uses the path's winding rule.
  bool containsPoint(const QPointF& point) const;
  // The area the path encloses (curves hugged tightly); control points
  // are not included.
  QRectF bounds() const;
  QRectF controlPointBounds() const;
  bool isEmpty() const { return path_.isEmpty(); }
  QPointF currentPoint() const { return path_.currentPosition(); }
  int elementCount() const { return path_.elementCount(); }

  double lineWidth() const { return lineWidth_; }
  void setLineWidth(double width) { lineWidth_ = width; }
  LineCapStyle lineCapStyle() const { return cap_; }
  void setLineCapStyle(LineCapStyle cap) { cap_ = cap; }
  LineJoinStyle lineJoinStyle() const { return join_; }
  void setLineJoinStyle(LineJoinStyle join) { join_ = join; }
  double miterLimit() const { return miterLimit_; }
  void setMiterLimit(double limit) { miterLimit_ = limit; }
  WindingRule windingRule() const { return windingRule_; }
  void setWindingRule(WindingRule rule) { windingRule_ = rule; }
  // Dash lengths in points, starting with a drawn segment; empty for solid.
  void setLineDash(const QVector<double>& pattern, double phase);
  QVector<double> lineDash() const { return dash_; }
  double lineDashPhase() const { return dashPhase_; }

  // Fills / strokes into GraphicsContext::current() with `color`, using
  // the context's compositing state. Does nothing without a current context.
  void fill(const QColor& color) const;
  void stroke(const QColor& color) const;
  static void fillRect(const QRectF& rect, const QColor& color);
  static void strokeRect(const QRectF& rect, const QColor& color, double lineWidth = 1.0);
  // Intersects the current context's clip with this path / replaces the clip
  // (within what the target itself allows) by this path.
  void addClip() const;
  void setClip() const;

  // The outline that stroking covers (width, caps, joins and dashes applied).
  QPainterPath strokedOutline() const;
  // The geometry with the winding rule applied as Qt's fill rule.
  QPainterPath toQPainterPath() const;
  QPen pen(const QColor& color) const;

 private:
  QPainterPath path_;
  double lineWidth_ = 1.0;
  LineCapStyle cap_ = LineCapStyle::Butt;
  LineJoinStyle join_ = LineJoinStyle::Miter;
  double miterLimit_ = 10.0;
  WindingRule windingRule_ = WindingRule::NonZero;
  QVector<double> dash_;
  double dashPhase_ = 0.0;
};

}  // namespace gfx
