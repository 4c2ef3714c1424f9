// The arithmetic of every compositing operation on one premultiplied pixel,
// shared by the float runs (CompositingOperation.cpp) and the 8-bit rows
// (CompositingRows.cpp) so each formula lives in one place. Internal to the
// graphics library. Written without data-dependent branches around
// divisions, so loops over these vectorise (given -fno-trapping-math, which
// lets the compiler compute both sides of a choice).
#pragma once

#include <algorithm>
#include <cmath>

#include "graphics/CompositingOperation.h"

namespace gfx::formulas {

using Op = CompositingOperation;

struct Pixel {
  float r, g, b, a;
};

// ---- Separable blend functions on straight colour components ----

inline float multiply(float s, float d) { return s * d; }
inline float screen(float s, float d) { return s + d - s * d; }
inline float hardLight(float s, float d) {
  return s <= 0.5f ? multiply(d, 2 * s) : screen(d, 2 * s - 1);
}
inline float colorDodge(float s, float d) {
  const float q = std::min(1.0f, d / std::max(1 - s, 1e-30f));
  return d <= 0 ? 0.0f : s >= 1 ? 1.0f : q;
}
inline float colorBurn(float s, float d) {
  const float q = 1 - std::min(1.0f, (1 - d) / std::max(s, 1e-30f));
  return d >= 1 ? 1.0f : s <= 0 ? 0.0f : q;
}
inline float softLight(float s, float d) {
  const float dd = d <= 0.25f ? ((16 * d - 12) * d + 4) * d : std::sqrt(std::max(d, 0.0f));
  const float dark = d - (1 - 2 * s) * d * (1 - d);
  const float light = d + (2 * s - 1) * (dd - d);
  return s <= 0.5f ? dark : light;
}

template <Op op>
inline float blendSeparable(float s, float d) {
  if constexpr (op == Op::Multiply) return multiply(s, d);
  if constexpr (op == Op::Screen) return screen(s, d);
  if constexpr (op == Op::Overlay) return hardLight(d, s);
  if constexpr (op == Op::Darken) return std::min(s, d);
  if constexpr (op == Op::Lighten) return std::max(s, d);
  if constexpr (op == Op::ColorDodge) return colorDodge(s, d);
  if constexpr (op == Op::ColorBurn) return colorBurn(s, d);
  if constexpr (op == Op::SoftLight) return softLight(s, d);
  if constexpr (op == Op::HardLight) return hardLight(s, d);
  if constexpr (op == Op::Difference) return std::fabs(s - d);
  if constexpr (op == Op::Exclusion) return s + d - 2 * s * d;
  return s;
}

// ---- Non-separable blend helpers (luminosity-preserving colour maths) ----

struct Rgb {
  float r, g, b;
};

inline float lum(Rgb c) { return 0.3f * c.r + 0.59f * c.g + 0.11f * c.b; }

inline Rgb clipColor(Rgb c) {
  float l = lum(c);
  float n = std::min({c.r, c.g, c.b});
  float x = std::max({c.r, c.g, c.b});
  if (n < 0) {
    float k = l / (l - n);
    c = {l + (c.r - l) * k, l + (c.g - l) * k, l + (c.b - l) * k};
  }
  if (x > 1) {
    float k = (1 - l) / (x - l);
    c = {l + (c.r - l) * k, l + (c.g - l) * k, l + (c.b - l) * k};
  }
  return c;
}

inline Rgb setLum(Rgb c, float l) {
  float delta = l - lum(c);
  return clipColor({c.r + delta, c.g + delta, c.b + delta});
}

inline float sat(Rgb c) { return std::max({c.r, c.g, c.b}) - std::min({c.r, c.g, c.b}); }

inline Rgb setSat(Rgb c, float s) {
  float* channel[3] = {&c.r, &c.g, &c.b};
  std::sort(channel, channel + 3, [](float* x, float* y) { return *x < *y; });
  float& cmin = *channel[0];
  float& cmid = *channel[1];
  float& cmax = *channel[2];
  if (cmax > cmin) {
    cmid = (cmid - cmin) * s / (cmax - cmin);
    cmax = s;
  } else {
    cmid = cmax = 0;
  }
  cmin = 0;
  return c;
}

template <Op op>
inline Rgb blendNonSeparable(Rgb s, Rgb d) {
  if constexpr (op == Op::Hue) return setLum(setSat(s, sat(d)), lum(d));
  if constexpr (op == Op::Saturation) return setLum(setSat(d, sat(s)), lum(d));
  if constexpr (op == Op::Color) return setLum(s, lum(d));
  return setLum(d, lum(s));  // Luminosity
}

constexpr bool isSeparableBlend(Op op) { return op >= Op::Multiply && op <= Op::Exclusion; }

// Straight colour of a premultiplied pixel; black where it is transparent.
// A channel equal to alpha comes out exactly 1 however the pixel was
// scaled (colour dodge and burn jump at 0 and 1). Every value is computed
// and then chosen, so loops over pixels stay free of branches.
inline float straightChannel(float c, float a, float inverse) {
  const float q = c * inverse;
  const float exact = c >= a ? 1.0f : q;
  return a > 0 ? exact : 0.0f;
}

inline Rgb straight(Pixel p) {
  const float inverse = 1.0f / std::max(p.a, 1e-30f);
  return {straightChannel(p.r, p.a, inverse), straightChannel(p.g, p.a, inverse),
          straightChannel(p.b, p.a, inverse)};
}

// Blend modes in premultiplied form: the blended colour where both are
// present, each side's own colour where only it is present.
template <Op op>
inline Pixel blend(Pixel s, Pixel d) {
  const float ra = s.a + d.a - s.a * d.a;
  const float both = s.a * d.a;
  const Rgb sc = straight(s), dc = straight(d);
  Rgb b;
  if constexpr (isSeparableBlend(op))
    b = {blendSeparable<op>(sc.r, dc.r), blendSeparable<op>(sc.g, dc.g),
         blendSeparable<op>(sc.b, dc.b)};
  else
    b = blendNonSeparable<op>(sc, dc);
  return {s.r * (1 - d.a) + d.r * (1 - s.a) + both * b.r,
          s.g * (1 - d.a) + d.g * (1 - s.a) + both * b.g,
          s.b * (1 - d.a) + d.b * (1 - s.a) + both * b.b, ra};
}

// Porter-Duff: result = S·Fs + D·Fd.
inline Pixel porterDuff(Pixel s, Pixel d, float fs, float fd) {
  return {s.r * fs + d.r * fd, s.g * fs + d.g * fd, s.b * fs + d.b * fd, s.a * fs + d.a * fd};
}

// Plus-darker in premultiplied form: for opaque colours max(0, S + D − 1);
// a transparent source leaves the destination as it is.
inline Pixel plusDarker(Pixel s, Pixel d) {
  float ra = std::min(1.0f, s.a + d.a);
  auto channel = [&](float sc, float dc) { return std::max(0.0f, ra - ((d.a - dc) + (s.a - sc))); };
  return {channel(s.r, d.r), channel(s.g, d.g), channel(s.b, d.b), ra};
}

template <Op op>
inline Pixel compositeOne(Pixel s, Pixel d) {
  if constexpr (op == Op::Clear)
    return {0, 0, 0, 0};
  else if constexpr (op == Op::Copy)
    return s;
  else if constexpr (op == Op::SourceOver || op == Op::Highlight)
    return porterDuff(s, d, 1, 1 - s.a);
  else if constexpr (op == Op::SourceIn)
    return porterDuff(s, d, d.a, 0);
  else if constexpr (op == Op::SourceOut)
    return porterDuff(s, d, 1 - d.a, 0);
  else if constexpr (op == Op::SourceAtop)
    return porterDuff(s, d, d.a, 1 - s.a);
  else if constexpr (op == Op::DestinationOver)
    return porterDuff(s, d, 1 - d.a, 1);
  else if constexpr (op == Op::DestinationIn)
    return porterDuff(s, d, 0, s.a);
  else if constexpr (op == Op::DestinationOut)
    return porterDuff(s, d, 0, 1 - s.a);
  else if constexpr (op == Op::DestinationAtop)
    return porterDuff(s, d, 1 - d.a, s.a);
  else if constexpr (op == Op::XOR)
    return porterDuff(s, d, 1 - d.a, 1 - s.a);
  else if constexpr (op == Op::PlusDarker)
    return plusDarker(s, d);
  else if constexpr (op == Op::PlusLighter)
    return porterDuff(s, d, 1, 1);
  else
    return blend<op>(s, d);
}

inline Pixel clampPixel(Pixel p) {
  float a = std::clamp(p.a, 0.0f, 1.0f);
  return {std::clamp(p.r, 0.0f, a), std::clamp(p.g, 0.0f, a), std::clamp(p.b, 0.0f, a), a};
}

// dst + (composited − dst) × coverage.
inline Pixel cover(Pixel d, Pixel r, float m) {
  return {d.r + (r.r - d.r) * m, d.g + (r.g - d.g) * m, d.b + (r.b - d.b) * m,
          d.a + (r.a - d.a) * m};
}

// Calls run.template operator()<op>() with the operation as a constant, so
// each loop is compiled once per operation and chooses its formula once.
template <class Run, int... I>
void dispatch(Op op, Run&& run, std::integer_sequence<int, I...>) {
  (void)((int(op) == I ? (run.template operator()<Op(I)>(), true) : false) || ...);
}

template <class Run>
void dispatch(Op op, Run&& run) {
  dispatch(op, run, std::make_integer_sequence<int, CompositingOperationCount>());
}

}  // namespace gfx::formulas
