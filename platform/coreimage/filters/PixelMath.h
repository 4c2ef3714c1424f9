// Small per-pixel helpers the family files share.
#pragma once

#include <algorithm>

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

}  // namespace ci::filters
