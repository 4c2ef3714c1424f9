#include "imageio/LinearLight.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>

#include "graphics/SrgbCurve.h"

namespace io {

namespace {

using Table = std::array<float, 65536>;

template <typename Curve>
std::unique_ptr<Table> tabulate(Curve curve) {
  auto table = std::make_unique<Table>();
  for (size_t i = 0; i < table->size(); ++i) (*table)[i] = curve(uint16_t(i));
  return table;
}

const Table& encodedOfHalf() {
  static const std::unique_ptr<Table> table = tabulate([](uint16_t bits) {
    half h;
    h.setBits(bits);
    return gfx::SrgbCurve::toEncoded(float(h));
  });
  return *table;
}

const Table& linearOfSixteenBits() {
  static const std::unique_ptr<Table> table =
      tabulate([](uint16_t v) { return gfx::SrgbCurve::toLinear(float(v) / 65535.0f); });
  return *table;
}

constexpr float kLargestHalf = float(HALF_MAX);

// Samples no colour has, which a file may still hold: NaN is no light,
// infinite light the most a half holds, and coverage stays within 0…1.
half finiteLight(half h) {
  if (h.isNan()) return half(0.0f);
  if (h.isInfinity()) return half(h.isNegative() ? -kLargestHalf : kLargestHalf);
  return h;
}

half finiteCoverage(half h) {
  if (h.isNan()) return half(0.0f);
  if (h.isInfinity()) return half(h.isNegative() ? 0.0f : 1.0f);
  return h;
}

// An un-premultiplied colour may exceed what a half holds under a small
// alpha; it is kept to the largest half so the curve gives finite light.
half unpremultiplied(half colour, float scale) {
  return half(std::clamp(float(colour) * scale, -kLargestHalf, kLargestHalf));
}

}  // namespace

void LinearLight::linearRow(const float* straight, int count, Imf::Rgba* out) {
  for (int x = 0; x < count; ++x, straight += 4) {
    const float alpha = straight[3];
    out[x].r = gfx::SrgbCurve::toLinear(straight[0]) * alpha;
    out[x].g = gfx::SrgbCurve::toLinear(straight[1]) * alpha;
    out[x].b = gfx::SrgbCurve::toLinear(straight[2]) * alpha;
    out[x].a = alpha;
  }
}

void LinearLight::linearRow(const uint16_t* straight, int count, Imf::Rgba* out) {
  const Table& table = linearOfSixteenBits();
  for (int x = 0; x < count; ++x, straight += 4) {
    const float alpha = float(straight[3]) * (1.0f / 65535.0f);
    out[x].r = table[straight[0]] * alpha;
    out[x].g = table[straight[1]] * alpha;
    out[x].b = table[straight[2]] * alpha;
    out[x].a = alpha;
  }
}

void LinearLight::encodedRow(Imf::Rgba* pixels, int count) {
  const Table& table = encodedOfHalf();
  for (int x = 0; x < count; ++x) {
    Imf::Rgba& p = pixels[x];
    p.r = finiteLight(p.r);
    p.g = finiteLight(p.g);
    p.b = finiteLight(p.b);
    p.a = finiteCoverage(p.a);
    const float alpha = p.a;
    if (alpha == 1.0f || !(alpha > 0.0f)) {
      p.r = table[p.r.bits()];
      p.g = table[p.g.bits()];
      p.b = table[p.b.bits()];
      continue;
    }
    const float scale = 1.0f / alpha;
    p.r = table[unpremultiplied(p.r, scale).bits()] * alpha;
    p.g = table[unpremultiplied(p.g, scale).bits()] * alpha;
    p.b = table[unpremultiplied(p.b, scale).bits()] * alpha;
  }
}

}  // namespace io
