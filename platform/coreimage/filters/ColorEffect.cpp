// Colour cubes: a 3-D lookup table indexed by unpremultiplied red, green
// and blue, interpolated trilinearly. The table holds dimension³ RGBA
// float entries, red varying fastest, premultiplied.
#include <QDebug>
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
}

}  // namespace ci::filters
