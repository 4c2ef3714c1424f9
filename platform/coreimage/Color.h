// A filter colour value (the CIColor role): red, green, blue and alpha as
// doubles, not premultiplied, in encoded components (no colour space
// conversion anywhere in the engine).
#pragma once

#include <QColor>
#include <QMetaType>
#include <QString>

namespace ci {

class Color {
 public:
  Color() = default;
  Color(double red, double green, double blue, double alpha = 1.0)
      : r_(red), g_(green), b_(blue), a_(alpha) {}
  static Color colorWithRed(double r, double g, double b, double a = 1.0) {
    return Color(r, g, b, a);
  }
  // Components of the QColor in RGB, whatever its spec (to QColor's 16 bits).
  static Color colorWithQColor(const QColor& color);
  // Parses "r g b a" (alpha optional) as the platform writes it.
  static Color colorWithString(const QString& text);

  double red() const { return r_; }
  double green() const { return g_; }
  double blue() const { return b_; }
  double alpha() const { return a_; }
  QColor toQColor() const;
  QString stringRepresentation() const;

  // Premultiplied components, the engine's working form.
  void premultiplied(float out[4]) const;

  bool operator==(const Color&) const = default;

 private:
  double r_ = 0, g_ = 0, b_ = 0, a_ = 1;
};

}  // namespace ci

Q_DECLARE_METATYPE(ci::Color)
