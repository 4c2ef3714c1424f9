// The sRGB transfer curve between encoded samples and linear light. It runs
// on past 1 and mirrored below 0, so values outside the unit range (HDR
// light, filter overshoot) keep their meaning both ways.
#pragma once

#include <cmath>

namespace gfx {

class SrgbCurve {
 public:
  static float toLinear(float encoded) {
    const float a = std::fabs(encoded);
    return std::copysign(a <= 0.04045f ? a / 12.92f : std::pow((a + 0.055f) / 1.055f, 2.4f),
                         encoded);
  }
  static float toEncoded(float linear) {
    const float a = std::fabs(linear);
    return std::copysign(a <= 0.0031308f ? a * 12.92f : 1.055f * std::pow(a, 1 / 2.4f) - 0.055f,
                         linear);
  }
};

}  // namespace gfx
