// Colour helpers over QColor, which stands for a colour everywhere: device
// RGB conversion, components as doubles, and a plain value form for archives.
#pragma once

#include <QColor>
#include <QVariantMap>
#include <array>

namespace gfx {

// The colour in RGB with float precision (grey, HSV, CMYK converted).
QColor deviceRGB(const QColor& color);
QColor calibratedRGB(const QColor& color);
// Red, green, blue, alpha in 0…1.
std::array<double, 4> components(const QColor& color);
QColor colorWithComponents(const std::array<double, 4>& rgba);
QColor colorWithRGBA(double red, double green, double blue, double alpha = 1.0);
QColor colorWithWhite(double white, double alpha = 1.0);
QColor colorWithAlphaComponent(const QColor& color, double alpha);
// Mixes `fraction` of `other` into `color` in RGB.
QColor blendedColor(const QColor& color, double fraction, const QColor& other);
// Lighter / darker by mixing `level` (0…1) of white / black in, keeping alpha.
QColor highlightWithLevel(const QColor& color, double level);
QColor shadowWithLevel(const QColor& color, double level);
// Rec. 601 luma of the colour (0…1), for choosing contrasting text.
double brightness(const QColor& color);
// Premultiplied RGBA floats, as compositing uses them.
std::array<float, 4> premultipliedComponents(const QColor& color);
bool colorsEqual(const QColor& a, const QColor& b, double tolerance = 0.5 / 255.0);

// A colour as a dictionary of plain values ({"space": "rgb", "r", "g", "b",
// "a"} as doubles), for property lists and keyed archives; round-trips to 1/65535.
QVariantMap archivedColor(const QColor& color);
// Invalid QColor for a dictionary that is not an archived colour.
QColor unarchivedColor(const QVariantMap& archive);

}  // namespace gfx
