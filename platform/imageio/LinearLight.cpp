#include "imageio/LinearLight.h"

#include <array>
#include <cmath>
#include <memory>

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
    return LinearLight::toEncoded(float(h));
  });
  return *table;
}

const Table& linearOfSixteenBits() {
  static const std::unique_ptr<Table> table =
      tabulate([](uint16_t v) { return LinearLight::toLinear(float(v) / 65535.0f); });
  return *table;
}

}  // namespace

float LinearLight::toLinear(float encoded) {
  const float a = std::fabs(encoded);
  return std::copysign(a <= 0.04045f ? a / 12.92f : std::pow((a + 0.055f) / 1.055f, 2.4f), encoded);
}

float LinearLight::toEncoded(float linear) {
  const float a = std::fabs(linear);
  return std::copysign(a <= 0.0031308f ? a * 12.92f : 1.055f * std::pow(a, 1 / 2.4f) - 0.055f,
                       linear);
}

void LinearLight::linearRow(const float* straight, int count, Imf::Rgba* out) {
  for (int x = 0; x < count; ++x, straight += 4) {
    const float alpha = straight[3];
    out[x].r = toLinear(straight[0]) * alpha;
    out[x].g = toLinear(straight[1]) * alpha;
    out[x].b = toLinear(straight[2]) * alpha;
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
