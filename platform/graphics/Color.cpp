#include "graphics/Color.h"

#include <algorithm>
#include <cmath>

namespace gfx {

// QColor keeps RGB colours as 16-bit channels (its extended form is only
// half-float), so components are exact to 1/65535.
QColor deviceRGB(const QColor& color) { return color.isValid() ? color.toRgb() : color; }

QColor calibratedRGB(const QColor& color) { return deviceRGB(color); }

std::array<double, 4> components(const QColor& color) {
  QRgba64 c = color.toRgb().rgba64();
  return {c.red() / 65535.0, c.green() / 65535.0, c.blue() / 65535.0, c.alpha() / 65535.0};
}

QColor colorWithComponents(const std::array<double, 4>& rgba) {
  return colorWithRGBA(rgba[0], rgba[1], rgba[2], rgba[3]);
}

QColor colorWithRGBA(double red, double green, double blue, double alpha) {
  auto channel = [](double v) { return quint16(std::lround(std::clamp(v, 0.0, 1.0) * 65535)); };
  return QColor(QRgba64::fromRgba64(channel(red), channel(green), channel(blue), channel(alpha)));
}

QColor colorWithWhite(double white, double alpha) {
  return colorWithRGBA(white, white, white, alpha);
}

QColor colorWithAlphaComponent(const QColor& color, double alpha) {
  auto c = components(color);
  return colorWithRGBA(c[0], c[1], c[2], alpha);
}

QColor blendedColor(const QColor& color, double fraction, const QColor& other) {
  auto a = components(color);
  auto b = components(other);
  std::array<double, 4> mixed;
  for (int i = 0; i < 4; ++i) mixed[i] = a[i] + (b[i] - a[i]) * fraction;
  return colorWithComponents(mixed);
}

namespace {

QColor mixOpaque(const QColor& color, double level, double target) {
  auto c = components(color);
  level = std::clamp(level, 0.0, 1.0);
  auto mix = [&](double v) { return v + (target - v) * level; };
  return colorWithRGBA(mix(c[0]), mix(c[1]), mix(c[2]), c[3]);
}

}  // namespace

QColor highlightWithLevel(const QColor& color, double level) { return mixOpaque(color, level, 1); }
QColor shadowWithLevel(const QColor& color, double level) { return mixOpaque(color, level, 0); }

double brightness(const QColor& color) {
  auto c = components(color);
  return 0.299 * c[0] + 0.587 * c[1] + 0.114 * c[2];
}

std::array<float, 4> premultipliedComponents(const QColor& color) {
  auto c = components(color);
  return {float(c[0] * c[3]), float(c[1] * c[3]), float(c[2] * c[3]), float(c[3])};
}

bool colorsEqual(const QColor& a, const QColor& b, double tolerance) {
  auto x = components(a);
  auto y = components(b);
  for (int i = 0; i < 4; ++i)
    if (std::fabs(x[i] - y[i]) > tolerance) return false;
  return true;
}

QVariantMap archivedColor(const QColor& color) {
  auto c = components(color);
  return {{"space", QStringLiteral("rgb")}, {"r", c[0]}, {"g", c[1]}, {"b", c[2]}, {"a", c[3]}};
}

QColor unarchivedColor(const QVariantMap& archive) {
  if (archive.value("space").toString() != QLatin1String("rgb")) return {};
  for (const char* key : {"r", "g", "b", "a"})
    if (!archive.contains(key)) return {};
  return colorWithRGBA(archive.value("r").toDouble(), archive.value("g").toDouble(),
                       archive.value("b").toDouble(), archive.value("a").toDouble());
}

}  // namespace gfx
