#include "graphics/AffineTransform.h"

#include <QtMath>

#include "graphics/BezierPath.h"
#include "graphics/GraphicsContext.h"

namespace gfx {

AffineTransform::AffineTransform(double m11, double m12, double m21, double m22, double tX,
                                 double tY)
    : matrix_(m11, m12, m21, m22, tX, tY) {}

// QTransform composes left to right (a * b applies a first), so prepending a
// step means putting it on the left.
void AffineTransform::translateXBy(double dx, double dy) {
  matrix_ = QTransform::fromTranslate(dx, dy) * matrix_;
}

void AffineTransform::rotateByDegrees(double degrees) {
  rotateByRadians(qDegreesToRadians(degrees));
}

void AffineTransform::rotateByRadians(double radians) {
  double c = std::cos(radians);
  double s = std::sin(radians);
  // Counter-clockwise in y-up space: (1, 0) turns towards (0, 1).
  matrix_ = QTransform(c, s, -s, c, 0, 0) * matrix_;
}

void AffineTransform::scaleBy(double factor) { scaleXBy(factor, factor); }

void AffineTransform::scaleXBy(double sx, double sy) {
  matrix_ = QTransform::fromScale(sx, sy) * matrix_;
}

void AffineTransform::appendTransform(const AffineTransform& other) {
  matrix_ = matrix_ * other.matrix_;
}

void AffineTransform::prependTransform(const AffineTransform& other) {
  matrix_ = other.matrix_ * matrix_;
}

bool AffineTransform::invert() {
  bool invertible = false;
  QTransform inverse = matrix_.inverted(&invertible);
  if (invertible) matrix_ = inverse;
  return invertible;
}

AffineTransform AffineTransform::inverted() const {
  AffineTransform copy = *this;
  copy.invert();
  return copy;
}

QPointF AffineTransform::transformPoint(const QPointF& point) const { return matrix_.map(point); }

QSizeF AffineTransform::transformSize(const QSizeF& size) const {
  return {matrix_.m11() * size.width() + matrix_.m21() * size.height(),
          matrix_.m12() * size.width() + matrix_.m22() * size.height()};
}

BezierPath AffineTransform::transformBezierPath(const BezierPath& path) const {
  BezierPath result = path;
  result.transformUsingAffineTransform(*this);
  return result;
}

void AffineTransform::concat() const {
  if (GraphicsContext* context = GraphicsContext::current()) context->concatCTM(*this);
}

void AffineTransform::set() const {
  if (GraphicsContext* context = GraphicsContext::current()) context->setCTM(*this);
}

}  // namespace gfx
