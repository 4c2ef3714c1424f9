// A 2-D affine transform in the platform's composition order: translate,
// rotate and scale apply *before* the transform already held (they prepend),
// so `t.translateXBy(10, 0); t.scaleBy(2);` maps (1, 0) to (12, 0).
// Backed by QTransform (row-vector convention: a * b applies a, then b).
#pragma once

#include <QPointF>
#include <QSizeF>
#include <QTransform>

namespace gfx {

class BezierPath;

class AffineTransform {
 public:
  AffineTransform() = default;
  explicit AffineTransform(const QTransform& matrix) : matrix_(matrix) {}
  // x' = m11·x + m21·y + tX, y' = m12·x + m22·y + tY.
  AffineTransform(double m11, double m12, double m21, double m22, double tX, double tY);

  static AffineTransform transform() { return {}; }

  void translateXBy(double dx, double dy);
  void rotateByDegrees(double degrees);  // counter-clockwise in y-up space
  void rotateByRadians(double radians);
  void scaleBy(double factor);
  void scaleXBy(double sx, double sy);

  // Afterwards this transform applies itself, then `other`.
  void appendTransform(const AffineTransform& other);
  // Afterwards this transform applies `other`, then itself.
  void prependTransform(const AffineTransform& other);
  // Leaves the transform unchanged when it is not invertible; returns whether it was.
  bool invert();
  AffineTransform inverted() const;

  QPointF transformPoint(const QPointF& point) const;
  // Sizes ignore translation (they are vectors).
  QSizeF transformSize(const QSizeF& size) const;
  BezierPath transformBezierPath(const BezierPath& path) const;

  // Applies to the current GraphicsContext: concat() adds this transform in
  // front of its CTM, set() replaces the CTM. No-ops without a current context.
  void concat() const;
  void set() const;

  bool isIdentity() const { return matrix_.isIdentity(); }
  const QTransform& toQTransform() const { return matrix_; }
  void setQTransform(const QTransform& matrix) { matrix_ = matrix; }

  double m11() const { return matrix_.m11(); }
  double m12() const { return matrix_.m12(); }
  double m21() const { return matrix_.m21(); }
  double m22() const { return matrix_.m22(); }
  double tX() const { return matrix_.dx(); }
  double tY() const { return matrix_.dy(); }

  bool operator==(const AffineTransform& other) const { return matrix_ == other.matrix_; }

 private:
  QTransform matrix_;
};

}  // namespace gfx
