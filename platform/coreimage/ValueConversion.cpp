#include "coreimage/ValueConversion.h"

#include <QColor>
#include <QPointF>
#include <QRectF>

#include "graphics/AffineTransform.h"

namespace ci {

bool toNumber(const QVariant& value, double* out) {
  if (!value.isValid()) return false;
  const int id = value.metaType().id();
  if (id == QMetaType::Bool) {
    *out = value.toBool() ? 1.0 : 0.0;
    return true;
  }
  bool ok = false;
  const double v = value.toDouble(&ok);
  if (ok) *out = v;
  return ok;
}

bool toVector(const QVariant& value, Vector* out) {
  if (value.canConvert<Vector>() && value.metaType() == QMetaType::fromType<Vector>()) {
    *out = value.value<Vector>();
    return true;
  }
  switch (value.metaType().id()) {
    case QMetaType::QPointF:
    case QMetaType::QPoint:
      *out = Vector::vectorWithCGPoint(value.toPointF());
      return true;
    case QMetaType::QRectF:
    case QMetaType::QRect:
      *out = Vector::vectorWithCGRect(value.toRectF());
      return true;
    case QMetaType::QString: {
      const Vector v = Vector::vectorWithString(value.toString());
      if (v.count() == 0) return false;
      *out = v;
      return true;
    }
    case QMetaType::QVariantList: {
      std::vector<double> numbers;
      for (const QVariant& item : value.toList()) {
        double n;
        if (!toNumber(item, &n)) return false;
        numbers.push_back(n);
      }
      *out = Vector(numbers.data(), numbers.size());
      return true;
    }
    default:
      return false;
  }
}

bool toColor(const QVariant& value, Color* out) {
  if (value.metaType() == QMetaType::fromType<Color>()) {
    *out = value.value<Color>();
    return true;
  }
  if (value.metaType().id() == QMetaType::QColor) {
    *out = Color::colorWithQColor(value.value<QColor>());
    return true;
  }
  if (value.metaType().id() == QMetaType::QString) {
    *out = Color::colorWithString(value.toString());
    return true;
  }
  return false;
}

bool toImage(const QVariant& value, Image* out) {
  if (value.metaType() == QMetaType::fromType<Image>()) {
    *out = value.value<Image>();
    return !out->isNull();
  }
  if (value.metaType() == QMetaType::fromType<gfx::CGImagePtr>()) {
    *out = Image::imageWithCGImage(value.value<gfx::CGImagePtr>());
    return !out->isNull();
  }
  return false;
}

bool toTransform(const QVariant& value, QTransform* out) {
  if (value.metaType() == QMetaType::fromType<gfx::AffineTransform>()) {
    *out = value.value<gfx::AffineTransform>().toQTransform();
    return true;
  }
  if (value.metaType().id() == QMetaType::QTransform) {
    *out = value.value<QTransform>();
    return true;
  }
  Vector v;
  // Six numbers m11 m12 m21 m22 tX tY, as transforms are archived.
  if (toVector(value, &v) && v.count() == 6) {
    *out = QTransform(v.valueAtIndex(0), v.valueAtIndex(1), v.valueAtIndex(2), v.valueAtIndex(3),
                      v.valueAtIndex(4), v.valueAtIndex(5));
    return true;
  }
  return false;
}

}  // namespace ci
