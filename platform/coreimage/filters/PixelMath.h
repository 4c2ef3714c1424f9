// Small per-pixel helpers the family files share.
#pragma once

#include <algorithm>
#include <memory>

#include "coreimage/RowMapNode.h"

namespace ci::filters {

// Straight colour from premultiplied; transparent pixels give zeros.
inline void unpremultiply(const float* p, float out[4]) {
  const float a = p[3];
  const float k = a > 0 ? 1.0f / a : 0.0f;
  out[0] = p[0] * k, out[1] = p[1] * k, out[2] = p[2] * k, out[3] = a;
}

inline void premultiplyInto(const float c[4], float* p) {
  p[0] = c[0] * c[3], p[1] = c[1] * c[3], p[2] = c[2] * c[3], p[3] = c[3];
}

inline float clamp01(float v) { return std::clamp(v, 0.0f, 1.0f); }

// Rec. 709 luma weights, on whatever values they are given.
inline float luminance(const float* c) { return 0.2126f * c[0] + 0.7152f * c[1] + 0.0722f * c[2]; }

// `image` with `adjust(float c[4])` run on each pixel's straight colour,
// which it changes in place; the result is premultiplied again.
template <typename Adjust>
Image mapStraightColor(const Image& image, Adjust adjust) {
  if (image.isNull()) return image;
  return Image(std::make_shared<RowMapNode>(image, [adjust](float* p, int count) {
    for (int i = 0; i < count; ++i, p += 4) {
      float c[4];
      unpremultiply(p, c);
      adjust(c);
      premultiplyInto(c, p);
    }
  }));
}

// A 3 × 3 matrix on straight red, green and blue, plus a bias; alpha kept.
struct ColorMatrix3 {
  float m[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
  float bias[3] = {0, 0, 0};
  void apply(float* c) const {
    const float r = c[0], g = c[1], b = c[2];
    for (int k = 0; k < 3; ++k) c[k] = m[k][0] * r + m[k][1] * g + m[k][2] * b + bias[k];
  }
};

inline Image applyColorMatrix(const Image& image, const ColorMatrix3& matrix) {
  return mapStraightColor(image, [matrix](float* c) { matrix.apply(c); });
}

}  // namespace ci::filters
