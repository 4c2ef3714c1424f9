// Colour effects: colour cubes (a 3-D lookup table indexed by
// unpremultiplied red, green and blue, interpolated trilinearly; the table
// holds dimension³ RGBA float entries, red varying fastest, premultiplied),
// and the effects that map each pixel's colour or luminance: invert, colour
// map, monochrome, posterize, false colour, mask to alpha, maximum and
// minimum component, sepia, and the vignette, which also depends on where
// the pixel lies in the image.
#include <QDebug>
#include <cmath>
#include <cstring>

#include "coreimage/FilterRegistry.h"
#include "coreimage/RowMapNode.h"
#include "coreimage/filters/BuiltInFilter.h"
#include "coreimage/filters/FilterFamilies.h"
#include "coreimage/filters/PixelMath.h"

namespace ci::filters {

namespace {

constexpr int kLargestCube = 128;

QByteArray identityCube(int n) {
  QByteArray data(qsizetype(n) * n * n * 4 * int(sizeof(float)), Qt::Uninitialized);
  auto* p = reinterpret_cast<float*>(data.data());
  for (int b = 0; b < n; ++b)
    for (int g = 0; g < n; ++g)
      for (int r = 0; r < n; ++r, p += 4) {
        p[0] = float(r) / float(n - 1), p[1] = float(g) / float(n - 1);
        p[2] = float(b) / float(n - 1), p[3] = 1.0f;
      }
  return data;
}

Image colorCube(const BuiltInFilter& f) {
  const Image image = f.imageValue(kCIInputImageKey);
  const int n = int(f.numberValue(QStringLiteral("inputCubeDimension")));
  const QByteArray data = f.dataValue(QStringLiteral("inputCubeData"));
  if (image.isNull()) return {};
  const qsizetype expected = qsizetype(n) * n * n * 4 * qsizetype(sizeof(float));
  if (n < 2 || n > kLargestCube || data.size() != expected) {
    qWarning("ci: %s: cube data holds %lld bytes, a cube of %d needs %lld", qPrintable(f.name()),
             (long long)data.size(), n, (long long)expected);
    return {};
  }
  auto cube = std::make_shared<std::vector<float>>(size_t(expected) / sizeof(float));
  std::memcpy(cube->data(), data.constData(), size_t(expected));
  return Image(std::make_shared<RowMapNode>(image, [cube, n](float* p, int count) {
    const float* table = cube->data();
    auto entry = [table, n](int r, int g, int b) {
      return table + (size_t(b) * size_t(n) * size_t(n) + size_t(g) * size_t(n) + size_t(r)) * 4;
    };
    for (int i = 0; i < count; ++i, p += 4) {
      float c[4];
      unpremultiply(p, c);
      int lo[3];
      float t[3];
      for (int k = 0; k < 3; ++k) {
        const float x = clamp01(c[k]) * float(n - 1);
        lo[k] = std::min(int(x), n - 2);
        t[k] = x - float(lo[k]);
      }
      float out[4] = {0, 0, 0, 0};
      for (int corner = 0; corner < 8; ++corner) {
        const int dr = corner & 1, dg = (corner >> 1) & 1, db = (corner >> 2) & 1;
        const float w = (dr ? t[0] : 1 - t[0]) * (dg ? t[1] : 1 - t[1]) * (db ? t[2] : 1 - t[2]);
        const float* e = entry(lo[0] + dr, lo[1] + dg, lo[2] + db);
        for (int k = 0; k < 4; ++k) out[k] += w * e[k];
      }
      // The cube's entries are premultiplied; scale by the pixel's own alpha.
      for (int k = 0; k < 4; ++k) p[k] = out[k] * c[3];
    }
  }));
}

QList<FilterInput> cubeInputs(bool withColorSpace) {
  FilterInput dimension = numberInput("inputCubeDimension", kCIAttributeTypeCount, 2, 2, 2,
                                      kLargestCube, "The number of entries along each axis.");
  dimension.maximum = double(kLargestCube);
  FilterInput data;
  data.key = "inputCubeData";
  data.className = kClassNSData;
  data.defaultValue = identityCube(2);
  data.identity = data.defaultValue;
  data.description = "dimension³ RGBA float entries, red varying fastest, premultiplied.";
  QList<FilterInput> inputs{imageInput(kCIInputImageKey, "The image to use as an input image."),
                            dimension, data};
  if (withColorSpace) {
    // The engine works on encoded values throughout, so the space is recorded but not applied.
    FilterInput space;
    space.key = "inputColorSpace";
    space.className = kClassNSString;
    space.description = "The colour space the cube is defined in.";
    inputs << space;
  }
  return inputs;
}

Image colorInvert(const BuiltInFilter& f) {
  return mapStraightColor(f.imageValue(kCIInputImageKey), [](float* c) {
    for (int k = 0; k < 3; ++k) c[k] = 1 - c[k];
  });
}

// Luminance picks a place along the gradient image's middle row, from its
// left edge (black) to its right edge (white).
void colorMapRow(const KernelRow& row) {
  const SamplerView& gradient = *row.samplers[0];
  const QRectF& g = gradient.extent();
  const double y = g.y() + g.height() / 2;
  const double left = g.x() + 0.5, span = std::max(0.0, g.width() - 1);
  for (int i = 0; i < row.count * 4; i += 4) {
    float c[4];
    unpremultiply(row.samples[0] + i, c);
    float mapped[4];
    gradient.sample(left + span * clamp01(luminance(c)), y, mapped);
    for (int k = 0; k < 4; ++k) row.out[i + k] = mapped[k] * c[3];
  }
}

Image colorMap(const BuiltInFilter& f) {
  const Image image = f.imageValue(kCIInputImageKey);
  const Image gradient = f.imageValue("inputGradientImage");
  const KernelPtr kernel = builtInKernel("colorMap");
  if (image.isNull() || !kernel) return {};
  if (gradient.isNull() || isInfinite(gradient.extent()) || isEmpty(gradient.extent()))
    return image;
  const QRectF whole = gradient.extent();
  return kernel->applyWithExtent(
      image.extent(), [whole](int, const QRectF&) { return whole; },
      {QVariant::fromValue(image), QVariant::fromValue(Sampler(gradient, Sampling::Linear))});
}

// Luminance 0 stays black, 1 stays white and mid grey becomes the colour,
// in between as an overlay of the colour (the usual tinting curve); the
// intensity mixes with the original.
Image colorMonochrome(const BuiltInFilter& f) {
  const Color color = f.colorValue(kCIInputColorKey);
  const float tint[3] = {float(color.red()), float(color.green()), float(color.blue())};
  const float intensity = float(f.numberValue(kCIInputIntensityKey));
  return mapStraightColor(f.imageValue(kCIInputImageKey), [tint, intensity](float* c) {
    const float l = clamp01(luminance(c));
    for (int k = 0; k < 3; ++k) {
      const float mono = l < 0.5f ? 2 * l * tint[k] : 1 - 2 * (1 - l) * (1 - tint[k]);
      c[k] += (mono - c[k]) * intensity;
    }
  });
}

// `levels` equal bands per component, the lowest black and the highest full.
Image colorPosterize(const BuiltInFilter& f) {
  const float levels = std::max(2.0f, float(f.numberValue("inputLevels")));
  return mapStraightColor(f.imageValue(kCIInputImageKey), [levels](float* c) {
    for (int k = 0; k < 3; ++k)
      c[k] = std::min(std::floor(clamp01(c[k]) * levels), levels - 1) / (levels - 1);
  });
}

Image falseColor(const BuiltInFilter& f) {
  float c0[4], c1[4];
  f.colorValue("inputColor0").premultiplied(c0);
  f.colorValue("inputColor1").premultiplied(c1);
  const Image image = f.imageValue(kCIInputImageKey);
  if (image.isNull()) return image;
  return Image(std::make_shared<RowMapNode>(image, [=](float* p, int count) {
    for (int i = 0; i < count; ++i, p += 4) {
      float c[4];
      unpremultiply(p, c);
      const float t = clamp01(luminance(c));
      for (int k = 0; k < 4; ++k) p[k] = (c0[k] + (c1[k] - c0[k]) * t) * c[3];
    }
  }));
}

// White, as opaque as the pixel is bright (its colour over black).
Image maskToAlpha(const BuiltInFilter& f) {
  const Image image = f.imageValue(kCIInputImageKey);
  if (image.isNull()) return image;
  return Image(std::make_shared<RowMapNode>(image, [](float* p, int count) {
    for (int i = 0; i < count; ++i, p += 4) p[0] = p[1] = p[2] = p[3] = clamp01(luminance(p));
  }));
}

template <typename Pick>
FilterRecipe greyFrom(Pick pick) {
  return [pick](const BuiltInFilter& f) {
    return mapStraightColor(f.imageValue(kCIInputImageKey),
                            [pick](float* c) { c[0] = c[1] = c[2] = pick(c[0], c[1], c[2]); });
  };
}

// The classic sepia matrix, mixed with the original by the intensity.
Image sepiaTone(const BuiltInFilter& f) {
  const float t = float(f.numberValue(kCIInputIntensityKey));
  const float sepia[3][3] = {
      {0.393f, 0.769f, 0.189f}, {0.349f, 0.686f, 0.168f}, {0.272f, 0.534f, 0.131f}};
  ColorMatrix3 m;
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) m.m[i][j] = (i == j ? 1 - t : 0) + sepia[i][j] * t;
  return applyColorMatrix(f.imageValue(kCIInputImageKey), m);
}

// Darkens by intensity × (d / reach)², d the distance from the centre of the
// image and reach its half diagonal times the radius: the corners of a
// full-strength vignette of radius 1 go black. Negative intensities lighten.
void vignetteRow(const KernelRow& row) {
  const float cx = row.values[0][0], cy = row.values[0][1];
  const float reach = std::max(1e-6f, row.values[1][0]);
  const float intensity = row.values[2][0];
  const float dy = (float(row.y) + 0.5f - cy) / reach;
  for (int i = 0; i < row.count; ++i) {
    const float dx = (float(row.x + i) + 0.5f - cx) / reach;
    const float factor = std::max(0.0f, 1 - intensity * std::min(1.0f, dx * dx + dy * dy));
    const float* s = row.samples[0] + i * 4;
    float* o = row.out + i * 4;
    o[0] = s[0] * factor, o[1] = s[1] * factor, o[2] = s[2] * factor, o[3] = s[3];
  }
}

Image vignette(const BuiltInFilter& f) {
  const Image image = f.imageValue(kCIInputImageKey);
  const double intensity = f.numberValue(kCIInputIntensityKey);
  const KernelPtr kernel = builtInKernel("vignette");
  const QRectF e = image.extent();
  if (image.isNull() || !kernel || intensity == 0 || isInfinite(e) || isEmpty(e)) return image;
  const double reach = std::hypot(e.width(), e.height()) / 2 * f.numberValue(kCIInputRadiusKey);
  return kernel->apply({QVariant::fromValue(image),
                        QVariant::fromValue(Vector::vectorWithCGPoint(e.center())), reach,
                        intensity});
}
}  // namespace

void registerColorEffectFilters(FilterRegistry& registry) {
  const QStringList effect = categories({kCICategoryColorEffect, kCICategoryVideo,
                                         kCICategoryInterlaced, kCICategoryNonSquarePixels});
  registerDefinitions(
      registry,
      {
          {"CIColorCube", effect, "Maps colours through a three-dimensional lookup table.",
           cubeInputs(false), colorCube},
          {"CIColorCubeWithColorSpace", effect,
           "Maps colours through a three-dimensional lookup table defined in a colour space.",
           cubeInputs(true), colorCube},
      });
  Kernel::registerRoutine("colorMap", colorMapRow);
  Kernel::registerRoutine("vignette", vignetteRow);
  const FilterInput image = imageInput(kCIInputImageKey, "The image to use as an input image.");
  auto unit = [](const QString& key, double defaultValue, double identity,
                 const QString& description) {
    FilterInput in = numberInput(key, kCIAttributeTypeScalar, defaultValue, 0, 0, 1, description);
    in.maximum = 1.0;
    in.identity = identity;
    return in;
  };
  FilterInput levels = numberInput("inputLevels", kCIAttributeTypeScalar, 6, 2, 2, 30,
                                   "The number of brightness levels of each component.");
  FilterInput vignetteIntensity =
      numberInput(kCIInputIntensityKey, kCIAttributeTypeScalar, 0, -1, -1, 1,
                  "How much the edges darken (negative values lighten them).");
  vignetteIntensity.maximum = 1.0;
  vignetteIntensity.identity = 0.0;
  registerDefinitions(
      registry,
      {
          {"CIColorInvert", effect, "Inverts the colours of an image.", {image}, colorInvert},
          {"CIColorMap",
           effect,
           "Maps each pixel's luminance to a colour of a gradient image.",
           {image, imageInput("inputGradientImage",
                              "The gradient, read from left (dark) to right (light).")},
           colorMap},
          {"CIColorMonochrome",
           effect,
           "Remaps colours to shades of one colour.",
           {image, colorInput(kCIInputColorKey, Color(0.6, 0.45, 0.3, 1), "The monochrome colour."),
            unit(kCIInputIntensityKey, 1, 0,
                 "How much of the effect: 0 leaves the image as it is.")},
           colorMonochrome},
          {"CIColorPosterize",
           effect,
           "Remaps each colour component to a few brightness levels.",
           {image, levels},
           colorPosterize},
          {"CIFalseColor",
           effect,
           "Maps luminance to a ramp between two colours.",
           {image, colorInput("inputColor0", Color(0.3, 0, 0, 1), "The colour of black."),
            colorInput("inputColor1", Color(1, 0.9, 0.8, 1), "The colour of white.")},
           falseColor},
          {"CIMaskToAlpha",
           effect,
           "Turns a greyscale image into white masked by its brightness.",
           {image},
           maskToAlpha},
          {"CIMaximumComponent",
           effect,
           "Returns a grey image of the largest colour component of each pixel.",
           {image},
           greyFrom([](float r, float g, float b) {
             return std::max({r, g, b});
           })},
          {"CIMinimumComponent",
           effect,
           "Returns a grey image of the smallest colour component of each pixel.",
           {image},
           greyFrom([](float r, float g, float b) {
             return std::min({r, g, b});
           })},
          {"CISepiaTone",
           effect,
           "Maps colours to shades of reddish brown.",
           {image, unit(kCIInputIntensityKey, 1, 0, "How much of the effect.")},
           sepiaTone},
          {"CIVignette",
           effect,
           "Darkens the edges of an image, more towards the corners.",
           {image, vignetteIntensity,
            numberInput(kCIInputRadiusKey, kCIAttributeTypeScalar, 1, 0, 0, 2,
                        "How far the darkening reaches, as a share of the half diagonal.")},
           vignette},
      },
      {{"CIMaskToAlpha", "Mask to Alpha"}});
}

}  // namespace ci::filters
