#include "imageio/LinearLight.h"

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
    const float alpha = p.a;
    if (alpha == 1.0f || !(alpha > 0.0f)) {
      p.r = table[p.r.bits()];
      p.g = table[p.g.bits()];
      p.b = table[p.b.bits()];
      continue;
    }
    const float scale = 1.0f / alpha;
    p.r = table[half(float(p.r) * scale).bits()] * alpha;
    p.g = table[half(float(p.g) * scale).bits()] * alpha;
    p.b = table[half(float(p.b) * scale).bits()] * alpha;
  }
}

}  // namespace io
