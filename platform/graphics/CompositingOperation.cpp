#include "graphics/CompositingOperation.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace gfx {
namespace {

using Op = CompositingOperation;

struct Pixel {
  float r, g, b, a;
};

// ---- Separable blend functions on straight colour components ----

float multiply(float s, float d) { return s * d; }
float screen(float s, float d) { return s + d - s * d; }
float hardLight(float s, float d) { return s <= 0.5f ? multiply(d, 2 * s) : screen(d, 2 * s - 1); }
float colorDodge(float s, float d) {
  if (d <= 0) return 0;
  if (s >= 1) return 1;
  return std::min(1.0f, d / (1 - s));
}
float colorBurn(float s, float d) {
  if (d >= 1) return 1;
  if (s <= 0) return 0;
  return 1 - std::min(1.0f, (1 - d) / s);
}
float softLight(float s, float d) {
  if (s <= 0.5f) return d - (1 - 2 * s) * d * (1 - d);
  float dd = d <= 0.25f ? ((16 * d - 12) * d + 4) * d : std::sqrt(d);
  return d + (2 * s - 1) * (dd - d);
}

float blendSeparable(Op op, float s, float d) {
  switch (op) {
    case Op::Multiply:
      return multiply(s, d);
    case Op::Screen:
      return screen(s, d);
    case Op::Overlay:
      return hardLight(d, s);
    case Op::Darken:
      return std::min(s, d);
    case Op::Lighten:
      return std::max(s, d);
    case Op::ColorDodge:
      return colorDodge(s, d);
    case Op::ColorBurn:
      return colorBurn(s, d);
    case Op::SoftLight:
      return softLight(s, d);
    case Op::HardLight:
      return hardLight(s, d);
    case Op::Difference:
      return std::fabs(s - d);
    case Op::Exclusion:
      return s + d - 2 * s * d;
    default:
      return s;
  }
}

// ---- Non-separable blend helpers (luminosity-preserving colour maths) ----

struct Rgb {
  float r, g, b;
};

float lum(Rgb c) { return 0.3f * c.r + 0.59f * c.g + 0.11f * c.b; }

Rgb clipColor(Rgb c) {
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

Rgb setLum(Rgb c, float l) {
  float delta = l - lum(c);
  return clipColor({c.r + delta, c.g + delta, c.b + delta});
}

float sat(Rgb c) { return std::max({c.r, c.g, c.b}) - std::min({c.r, c.g, c.b}); }

Rgb setSat(Rgb c, float s) {
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

Rgb blendNonSeparable(Op op, Rgb s, Rgb d) {
  switch (op) {
    case Op::Hue:
      return setLum(setSat(s, sat(d)), lum(d));
    case Op::Saturation:
      return setLum(setSat(d, sat(s)), lum(d));
    case Op::Color:
      return setLum(s, lum(d));
    default:
      return setLum(d, lum(s));  // Luminosity
  }
}

bool isSeparableBlend(Op op) { return op >= Op::Multiply && op <= Op::Exclusion; }

// Blend modes in premultiplied form: the blended colour where both are
// present, each side's own colour where only it is present.
Pixel blend(Op op, Pixel s, Pixel d) {
  float ra = s.a + d.a - s.a * d.a;
  float both = s.a * d.a;
  Rgb sc = s.a > 0 ? Rgb{s.r / s.a, s.g / s.a, s.b / s.a} : Rgb{0, 0, 0};
  Rgb dc = d.a > 0 ? Rgb{d.r / d.a, d.g / d.a, d.b / d.a} : Rgb{0, 0, 0};
  Rgb b;
  if (isSeparableBlend(op))
    b = {blendSeparable(op, sc.r, dc.r), blendSeparable(op, sc.g, dc.g),
         blendSeparable(op, sc.b, dc.b)};
  else
    b = blendNonSeparable(op, sc, dc);
  return {s.r * (1 - d.a) + d.r * (1 - s.a) + both * b.r,
          s.g * (1 - d.a) + d.g * (1 - s.a) + both * b.g,
          s.b * (1 - d.a) + d.b * (1 - s.a) + both * b.b, ra};
}

// Porter-Duff: result = S·Fs + D·Fd.
Pixel porterDuff(Pixel s, Pixel d, float fs, float fd) {
  return {s.r * fs + d.r * fd, s.g * fs + d.g * fd, s.b * fs + d.b * fd, s.a * fs + d.a * fd};
}

// Plus-darker in premultiplied form: for opaque colours max(0, S + D − 1);
// a transparent source leaves the destination as it is.
Pixel plusDarker(Pixel s, Pixel d) {
  float ra = std::min(1.0f, s.a + d.a);
  auto channel = [&](float sc, float dc) { return std::max(0.0f, ra - ((d.a - dc) + (s.a - sc))); };
  return {channel(s.r, d.r), channel(s.g, d.g), channel(s.b, d.b), ra};
}

inline Pixel compositeOne(Op op, Pixel s, Pixel d) {
  switch (op) {
    case Op::Clear:
      return {0, 0, 0, 0};
    case Op::Copy:
      return s;
    case Op::SourceOver:
    case Op::Highlight:
      return porterDuff(s, d, 1, 1 - s.a);
    case Op::SourceIn:
      return porterDuff(s, d, d.a, 0);
    case Op::SourceOut:
      return porterDuff(s, d, 1 - d.a, 0);
    case Op::SourceAtop:
      return porterDuff(s, d, d.a, 1 - s.a);
    case Op::DestinationOver:
      return porterDuff(s, d, 1 - d.a, 1);
    case Op::DestinationIn:
      return porterDuff(s, d, 0, s.a);
    case Op::DestinationOut:
      return porterDuff(s, d, 0, 1 - s.a);
    case Op::DestinationAtop:
      return porterDuff(s, d, 1 - d.a, s.a);
    case Op::XOR:
      return porterDuff(s, d, 1 - d.a, 1 - s.a);
    case Op::PlusDarker:
      return plusDarker(s, d);
    case Op::PlusLighter:
      return porterDuff(s, d, 1, 1);
    default:
      return blend(op, s, d);
  }
}

Pixel clampPixel(Pixel p) {
  float a = std::clamp(p.a, 0.0f, 1.0f);
  return {std::clamp(p.r, 0.0f, a), std::clamp(p.g, 0.0f, a), std::clamp(p.b, 0.0f, a), a};
}

Pixel load(const float* p, float scale) {
  return {p[0] * scale, p[1] * scale, p[2] * scale, p[3] * scale};
}

// One loop per operation, so the formula is chosen once per call rather
// than once per pixel.
template <Op op>
void compositeRun(const float* source, float* destination, const float* coverage, int pixelCount,
                  float fraction) {
  for (int i = 0; i < pixelCount; ++i) {
    float m = coverage ? coverage[i] : 1.0f;
    if (m <= 0) continue;
    float* dp = destination + 4 * i;
    Pixel d = load(dp, 1);
    Pixel r = clampPixel(compositeOne(op, load(source + 4 * i, fraction), d));
    if (m < 1)
      r = {d.r + (r.r - d.r) * m, d.g + (r.g - d.g) * m, d.b + (r.b - d.b) * m,
           d.a + (r.a - d.a) * m};
    dp[0] = r.r;
    dp[1] = r.g;
    dp[2] = r.b;
    dp[3] = r.a;
  }
}

template <int... I>
void dispatch(Op op, const float* source, float* destination, const float* coverage, int pixelCount,
              float fraction, std::integer_sequence<int, I...>) {
  (void)((int(op) == I
              ? (compositeRun<Op(I)>(source, destination, coverage, pixelCount, fraction), true)
              : false) ||
         ...);
}

}  // namespace

void compositePixels(CompositingOperation op, const float* source, float* destination,
                     int pixelCount, float fraction) {
  compositePixelsWithCoverage(op, source, destination, nullptr, pixelCount, fraction);
}

void compositePixelsWithCoverage(CompositingOperation op, const float* source, float* destination,
                                 const float* coverage, int pixelCount, float fraction) {
  dispatch(op, source, destination, coverage, pixelCount, fraction,
           std::make_integer_sequence<int, CompositingOperationCount>());
}

CompositingOperation compositingOperationForBlendMode(BlendMode mode) {
  int m = int(mode);
  if (mode == BlendMode::Normal) return Op::SourceOver;
  if (m >= int(BlendMode::Multiply) && m <= int(BlendMode::Luminosity))
    return Op(int(Op::Multiply) + m - int(BlendMode::Multiply));
  switch (mode) {
    case BlendMode::Clear:
      return Op::Clear;
    case BlendMode::Copy:
      return Op::Copy;
    case BlendMode::PlusDarker:
      return Op::PlusDarker;
    case BlendMode::PlusLighter:
      return Op::PlusLighter;
    default:  // SourceIn … XOR keep their relative order
      if (m >= int(BlendMode::SourceIn) && m <= int(BlendMode::XOR))
        return Op(int(Op::SourceIn) + m - int(BlendMode::SourceIn));
      return Op::SourceOver;
  }
}

QString nameOfCompositingOperation(CompositingOperation op) {
  static const char* const names[CompositingOperationCount] = {"clear",
                                                               "copy",
                                                               "source-over",
                                                               "source-in",
                                                               "source-out",
                                                               "source-atop",
                                                               "destination-over",
                                                               "destination-in",
                                                               "destination-out",
                                                               "destination-atop",
                                                               "xor",
                                                               "plus-darker",
                                                               "highlight",
                                                               "plus-lighter",
                                                               "multiply",
                                                               "screen",
                                                               "overlay",
                                                               "darken",
                                                               "lighten",
                                                               "color-dodge",
                                                               "color-burn",
                                                               "soft-light",
                                                               "hard-light",
                                                               "difference",
                                                               "exclusion",
                                                               "hue",
                                                               "saturation",
                                                               "color",
                                                               "luminosity"};
  int index = int(op);
  return index >= 0 && index < CompositingOperationCount ? QString::fromLatin1(names[index])
                                                         : QStringLiteral("unknown");
}

bool clearsWhereSourceIsTransparent(CompositingOperation op) {
  switch (op) {
    case Op::Clear:
    case Op::Copy:
    case Op::SourceIn:
    case Op::SourceOut:
    case Op::DestinationIn:
    case Op::DestinationAtop:
      return true;
    default:
      return false;
  }
}

}  // namespace gfx
