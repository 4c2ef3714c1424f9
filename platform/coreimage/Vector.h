// A filter value of two or more numbers (the CIVector role): points, offsets,
// colour-matrix rows, convolution weights, and rectangles as (x, y, w, h).
#pragma once

#include <QMetaType>
#include <QPointF>
#include <QRectF>
#include <QString>
#include <initializer_list>
#include <vector>

namespace ci {

class Vector {
 public:
  Vector() = default;
  Vector(std::initializer_list<double> values) : values_(values) {}
  Vector(const double* values, size_t count) : values_(values, values + count) {}
  static Vector vectorWithX(double x, double y) { return Vector{x, y}; }
  static Vector vectorWithCGPoint(const QPointF& p) { return Vector{p.x(), p.y()}; }
  static Vector vectorWithCGRect(const QRectF& r) {
    return Vector{r.x(), r.y(), r.width(), r.height()};
  }
  // Parses "[1 2 3]" as the platform writes it; an empty vector when malformed.
  static Vector vectorWithString(const QString& text);

  size_t count() const { return values_.size(); }
  // Components past the end read as 0, as the platform's do.
  double valueAtIndex(size_t i) const { return i < values_.size() ? values_[i] : 0.0; }
  double X() const { return valueAtIndex(0); }
  double Y() const { return valueAtIndex(1); }
  double Z() const { return valueAtIndex(2); }
  double W() const { return valueAtIndex(3); }
  QPointF CGPointValue() const { return {X(), Y()}; }
  QRectF CGRectValue() const { return {X(), Y(), Z(), W()}; }
  QString stringRepresentation() const;

  bool operator==(const Vector&) const = default;

 private:
  std::vector<double> values_;
};

}  // namespace ci

Q_DECLARE_METATYPE(ci::Vector)
