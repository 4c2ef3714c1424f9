// Colour adjustments with a few sliders: saturation, brightness and
// contrast, exposure, gamma, hue, white balance, vibrance, the white point
// and the sRGB transfer curves. Each works on straight colour, pixel by
// pixel, and at its identity values gives the input back.
#include <cmath>
#include <numbers>

#include "coreimage/FilterRegistry.h"
#include "coreimage/filters/BuiltInFilter.h"
#include "coreimage/filters/FilterFamilies.h"
#include "coreimage/filters/PixelMath.h"
#include "graphics/SrgbCurve.h"

namespace ci::filters {

namespace {

// Saturation mixes with the pixel's luminance, brightness is added, and
// contrast scales the distance from mid grey, in that order.
Image colorControls(const BuiltInFilter& f) {
  const float saturation = float(f.numberValue("inputSaturation"));
  const float brightness = float(f.numberValue("inputBrightness"));
  const float contrast = float(f.numberValue("inputContrast"));
  return mapStraightColor(f.imageValue(kCIInputImageKey), [=](float* c) {
    const float l = luminance(c);
    for (int k = 0; k < 3; ++k)
      c[k] = ((l + (c[k] - l) * saturation + brightness) - 0.5f) * contrast + 0.5f;
  });
}

// Exposure in stops, as a camera's: light doubles per stop, so components
// are scaled by 2^EV in linear light (the sRGB curve undone, then redone).
Image exposureAdjust(const BuiltInFilter& f) {
  const float gain = float(std::exp2(f.numberValue("inputEV")));
  const Image image = f.imageValue(kCIInputImageKey);
  if (gain == 1) return image;
  return mapStraightColor(image, [gain](float* c) {
    for (int k = 0; k < 3; ++k)
      c[k] = gfx::SrgbCurve::toEncoded(gfx::SrgbCurve::toLinear(c[k]) * gain);
  });
}

// Each component raised to the power, its sign kept for values below zero.
Image gammaAdjust(const BuiltInFilter& f) {
  const float power = float(f.numberValue("inputPower"));
  return mapStraightColor(f.imageValue(kCIInputImageKey), [power](float* c) {
    for (int k = 0; k < 3; ++k) c[k] = std::copysign(std::pow(std::fabs(c[k]), power), c[k]);
  });
}

// A rotation of the chroma plane of YIQ about the grey axis, so luma is
// kept and the hue turns by the angle.
Image hueAdjust(const BuiltInFilter& f) {
  const double angle = f.numberValue(kCIInputAngleKey);
  const double toYiq[3][3] = {
      {0.299, 0.587, 0.114}, {0.596, -0.274, -0.322}, {0.211, -0.523, 0.312}};
  // The exact inverse, so a zero angle gives the colours back unchanged.
  double fromYiq[3][3];
  const double(&a)[3][3] = toYiq;
  const double det = a[0][0] * (a[1][1] * a[2][2] - a[1][2] * a[2][1]) -
                     a[0][1] * (a[1][0] * a[2][2] - a[1][2] * a[2][0]) +
                     a[0][2] * (a[1][0] * a[2][1] - a[1][1] * a[2][0]);
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) {
      const int i1 = (j + 1) % 3, i2 = (j + 2) % 3, j1 = (i + 1) % 3, j2 = (i + 2) % 3;
      fromYiq[i][j] = (a[i1][j1] * a[i2][j2] - a[i1][j2] * a[i2][j1]) / det;
    }
  const double cs = std::cos(angle), sn = std::sin(angle);
  const double rotate[3][3] = {{1, 0, 0}, {0, cs, -sn}, {0, sn, cs}};
  ColorMatrix3 m;
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) {
      double sum = 0;
      for (int k = 0; k < 3; ++k)
        for (int l = 0; l < 3; ++l) sum += fromYiq[i][k] * rotate[k][l] * toYiq[l][j];
      m.m[i][j] = float(sum);
    }
  return applyColorMatrix(f.imageValue(kCIInputImageKey), m);
}

// The chromaticity of daylight-like light of a colour temperature (Kim et
// al.'s fit of the Planckian locus, 1667 K to 25000 K), moved across the
// locus by the tint (positive towards magenta) in CIE 1960 uv.
void whiteOf(double temperature, double tint, double rgb[3]) {
  auto locus = [](double t, double* x, double* y) {
    t = std::clamp(t, 1667.0, 25000.0);
    const double t1 = 1e3 / t, t2 = t1 * t1, t3 = t2 * t1;
    *x = t <= 4000 ? -0.2661239 * t3 - 0.2343589 * t2 + 0.8776956 * t1 + 0.179910
                   : -3.0258469 * t3 + 2.1070379 * t2 + 0.2226347 * t1 + 0.240390;
    const double u = *x, u2 = u * u, u3 = u2 * u;
    *y = t <= 2222   ? -1.1063814 * u3 - 1.34811020 * u2 + 2.18555832 * u - 0.20219683
         : t <= 4000 ? -0.9549476 * u3 - 1.37418593 * u2 + 2.09137015 * u - 0.16748867
                     : 3.0817580 * u3 - 5.87338670 * u2 + 3.75112997 * u - 0.37001483;
  };
  auto uv = [](double x, double y, double* u, double* v) {
    const double d = -2 * x + 12 * y + 3;
    *u = 4 * x / d, *v = 6 * y / d;
  };
  double x, y, xa, ya, xb, yb, u, v, ua, va, ub, vb;
  locus(temperature, &x, &y);
  locus(temperature - 10, &xa, &ya);
  locus(temperature + 10, &xb, &yb);
  uv(x, y, &u, &v), uv(xa, ya, &ua, &va), uv(xb, yb, &ub, &vb);
  const double du = ub - ua, dv = vb - va, length = std::hypot(du, dv);
  if (length > 0) u += -dv / length * tint * 2e-4, v += du / length * tint * 2e-4;
  // uv back to xy, then XYZ with Y = 1 to linear sRGB.
  const double d = 2 * u - 8 * v + 4;
  x = 3 * u / d, y = 2 * v / d;
  const double X = x / y, Y = 1, Z = (1 - x - y) / y;
  rgb[0] = 3.2406 * X - 1.5372 * Y - 0.4986 * Z;
  rgb[1] = -0.9689 * X + 1.8758 * Y + 0.0415 * Z;
  rgb[2] = 0.0557 * X - 0.2040 * Y + 1.0570 * Z;
}

// White balance: what looks white under the neutral light becomes the
// target's white, by scaling linear red, green and blue (von Kries in
// linear sRGB, the usual camera-raw approach).
Image temperatureAndTint(const BuiltInFilter& f) {
  const Vector neutral = f.vectorValue("inputNeutral");
  const Vector target = f.vectorValue("inputTargetNeutral");
  double from[3], to[3];
  whiteOf(neutral.X(), neutral.Y(), from);
  whiteOf(target.X(), target.Y(), to);
  float gain[3];
  for (int k = 0; k < 3; ++k) gain[k] = from[k] > 1e-6 ? float(to[k] / from[k]) : 1.0f;
  const Image image = f.imageValue(kCIInputImageKey);
  if (neutral.X() == target.X() && neutral.Y() == target.Y()) return image;
  return mapStraightColor(image, [gain](float* c) {
    for (int k = 0; k < 3; ++k)
      c[k] = gfx::SrgbCurve::toEncoded(gfx::SrgbCurve::toLinear(c[k]) * gain[k]);
  });
}

// Pulls each component towards (or away from) the largest one in
// proportion to how unsaturated the pixel is, so muted colours gain most.
Image vibrance(const BuiltInFilter& f) {
  const float amount = float(f.numberValue("inputAmount"));
  return mapStraightColor(f.imageValue(kCIInputImageKey), [amount](float* c) {
    const float largest = std::max({c[0], c[1], c[2]});
    const float mean = (c[0] + c[1] + c[2]) / 3;
    const float t = (largest - mean) * -3 * amount;
    for (int k = 0; k < 3; ++k) c[k] += (largest - c[k]) * t;
  });
}

// Components scaled by the new white's: white becomes that colour.
Image whitePointAdjust(const BuiltInFilter& f) {
  const Color white = f.colorValue(kCIInputColorKey);
  const float scale[3] = {float(white.red()), float(white.green()), float(white.blue())};
  return mapStraightColor(f.imageValue(kCIInputImageKey), [scale](float* c) {
    for (int k = 0; k < 3; ++k) c[k] *= scale[k];
  });
}

Image linearToSrgbCurve(const BuiltInFilter& f) {
  return mapStraightColor(f.imageValue(kCIInputImageKey), [](float* c) {
    for (int k = 0; k < 3; ++k) c[k] = gfx::SrgbCurve::toEncoded(c[k]);
  });
}

Image srgbToLinearCurve(const BuiltInFilter& f) {
  return mapStraightColor(f.imageValue(kCIInputImageKey), [](float* c) {
    for (int k = 0; k < 3; ++k) c[k] = gfx::SrgbCurve::toLinear(c[k]);
  });
}

FilterInput slider(const QString& key, const QString& type, double defaultValue, double minimum,
                   double sliderMinimum, double sliderMaximum, const QString& description) {
  FilterInput in =
      numberInput(key, type, defaultValue, minimum, sliderMinimum, sliderMaximum, description);
  in.identity = defaultValue;
  return in;
}

FilterInput neutral(const QString& key, const QString& description) {
  FilterInput in = vectorInput(key, kCIAttributeTypeOffset, Vector{6500, 0}, description);
  in.identity = in.defaultValue;
  return in;
}

}  // namespace

void registerColorToneFilters(FilterRegistry& registry) {
  const QStringList adjustment =
      categories({kCICategoryColorAdjustment, kCICategoryVideo, kCICategoryInterlaced,
                  kCICategoryNonSquarePixels, kCICategoryHighDynamicRange});
  const FilterInput image = imageInput(kCIInputImageKey, "The image to use as an input image.");
  FilterInput saturation = slider("inputSaturation", kCIAttributeTypeScalar, 1, 0, 0, 2,
                                  "The amount of colour: 0 is grey, 1 leaves colours as they are.");
  FilterInput brightness = slider("inputBrightness", kCIAttributeTypeScalar, 0, -1, -1, 1,
                                  "An amount added to every component.");
  FilterInput contrast = slider("inputContrast", kCIAttributeTypeScalar, 1, 0, 0.25, 4,
                                "How far components move away from mid grey.");
  FilterInput hueAngle = slider(kCIInputAngleKey, kCIAttributeTypeAngle, 0, -1e9, -std::numbers::pi,
                                std::numbers::pi, "The angle to turn hues by.");
  hueAngle.minimum = QVariant();
  registerDefinitions(
      registry,
      {
          {"CIColorControls",
           adjustment,
           "Adjusts saturation, brightness and contrast.",
           {image, saturation, brightness, contrast},
           colorControls},
          {"CIExposureAdjust",
           adjustment,
           "Adjusts the exposure as a camera's f-stop does.",
           {image, slider("inputEV", kCIAttributeTypeScalar, 0, -1e9, -10, 10,
                          "The exposure change in stops.")},
           exposureAdjust},
          {"CIGammaAdjust",
           adjustment,
           "Raises each colour component to a power, adjusting the midtones.",
           {image, slider("inputPower", kCIAttributeTypeScalar, 1, 0, 0.25, 4,
                          "The power each component is raised to.")},
           gammaAdjust},
          {"CIHueAdjust", adjustment, "Turns every hue by an angle.", {image, hueAngle}, hueAdjust},
          {"CITemperatureAndTint",
           adjustment,
           "Adjusts the white balance: light of the neutral temperature and tint becomes the "
           "target's.",
           {image,
            neutral("inputNeutral", "The temperature (kelvin) and tint of the image's light."),
            neutral("inputTargetNeutral", "The temperature and tint the image should have.")},
           temperatureAndTint},
          {"CIVibrance",
           adjustment,
           "Adjusts saturation, protecting colours that are already saturated and skin tones.",
           {image, slider("inputAmount", kCIAttributeTypeScalar, 0, -1, -1, 1,
                          "The amount to adjust saturation by.")},
           vibrance},
          {"CIWhitePointAdjust",
           adjustment,
           "Maps white to a new white point, scaling every colour with it.",
           {image,
            [] {
              FilterInput in =
                  colorInput(kCIInputColorKey, Color(1, 1, 1, 1), "The colour white becomes.");
              in.identity = in.defaultValue;
              return in;
            }()},
           whitePointAdjust},
          {"CILinearToSRGBToneCurve",
           adjustment,
           "Encodes linear colour values with the sRGB curve.",
           {image},
           linearToSrgbCurve},
          {"CISRGBToneCurveToLinear",
           adjustment,
           "Decodes sRGB-encoded colour values to linear ones.",
           {image},
           srgbToLinearCurve},
      },
      {{"CILinearToSRGBToneCurve", "Linear to sRGB Tone Curve"},
       {"CITemperatureAndTint", "Temperature and Tint"},
       {"CISRGBToneCurveToLinear", "sRGB Tone Curve to Linear"}});
}

}  // namespace ci::filters
