#include "coreimage/Color.h"

#include <QStringList>

namespace ci {

Color Color::colorWithQColor(const QColor& color) {
  const QColor rgb = color.toRgb();
  return Color(rgb.redF(), rgb.greenF(), rgb.blueF(), rgb.alphaF());
}

Color Color::colorWithString(const QString& text) {
  const QStringList parts = text.split(' ', Qt::SkipEmptyParts);
  if (parts.size() < 3) return {};
  return Color(parts[0].toDouble(), parts[1].toDouble(), parts[2].toDouble(),
               parts.size() > 3 ? parts[3].toDouble() : 1.0);
}

QColor Color::toQColor() const {
  return QColor::fromRgbF(float(r_), float(g_), float(b_), float(a_));
}

QString Color::stringRepresentation() const {
  return QStringLiteral("%1 %2 %3 %4").arg(r_).arg(g_).arg(b_).arg(a_);
}

void Color::premultiplied(float out[4]) const {
  out[0] = float(r_ * a_);
  out[1] = float(g_ * a_);
  out[2] = float(b_ * a_);
  out[3] = float(a_);
}

}  // namespace ci
