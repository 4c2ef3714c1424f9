// compositeRow(): 8-bit premultiplied rows composited through the shared
// formulas. A row is taken in runs of RunLength pixels, unpacked into one
// float array per channel, composited pixel by pixel with the operation
// fixed at compile time, and packed back with rounding to nearest; every
// step is a plain loop over arrays that the compiler turns into vector code.
#include <algorithm>
#include <cmath>
#ifdef __x86_64__
#include <immintrin.h>
#endif

#include "graphics/CompositingFormulas.h"

namespace gfx {
namespace {

using namespace formulas;

constexpr int RunLength = 64;

struct Channels {
  alignas(32) float r[RunLength];
  alignas(32) float g[RunLength];
  alignas(32) float b[RunLength];
  alignas(32) float a[RunLength];
};

void unpack(const uint32_t* pixels, int count, float scale, Channels& out) {
  for (int i = 0; i < count; ++i) {
    const uint32_t p = pixels[i];
    out.r[i] = float((p >> 16) & 0xff) * scale;
    out.g[i] = float((p >> 8) & 0xff) * scale;
    out.b[i] = float(p & 0xff) * scale;
    out.a[i] = float(p >> 24) * scale;
  }
}

// Values are already within 0…1 (clampPixel), so adding one half and
// truncating rounds to nearest.
void pack(const Channels& in, int count, uint32_t* pixels) {
  for (int i = 0; i < count; ++i) {
    const uint32_t r = uint32_t(int(in.r[i] * 255.0f + 0.5f));
    const uint32_t g = uint32_t(int(in.g[i] * 255.0f + 0.5f));
    const uint32_t b = uint32_t(int(in.b[i] * 255.0f + 0.5f));
    const uint32_t a = uint32_t(int(in.a[i] * 255.0f + 0.5f));
    pixels[i] = (a << 24) | (r << 16) | (g << 8) | b;
  }
}

template <Op op, bool covered>
void compositeChannels(const Channels& s, Channels& d, const uint8_t* coverage, int count) {
  for (int i = 0; i < count; ++i) {
    const Pixel dp{d.r[i], d.g[i], d.b[i], d.a[i]};
    Pixel r = clampPixel(compositeOne<op>({s.r[i], s.g[i], s.b[i], s.a[i]}, dp));
    if constexpr (covered) r = cover(dp, r, float(coverage[i]) * (1.0f / 255.0f));
    d.r[i] = r.r;
    d.g[i] = r.g;
    d.b[i] = r.b;
    d.a[i] = r.a;
  }
}

// Where both sides are opaque a blend mode needs no straight colour: the
// pixels are their own colours and the result is the destination moved
// towards the blended colour by the layer's fraction, alpha staying 1. This
// is the common case of a photo layer over an opaque canvas, and it spares
// every division of the general formula.
template <Op op, bool covered>
void blendOpaqueChannels(const Channels& s, Channels& d, const uint8_t* coverage, float fraction,
                         int count) {
  for (int i = 0; i < count; ++i) {
    Rgb b;
    if constexpr (isSeparableBlend(op))
      b = {blendSeparable<op>(s.r[i], d.r[i]), blendSeparable<op>(s.g[i], d.g[i]),
           blendSeparable<op>(s.b[i], d.b[i])};
    else
      b = blendNonSeparable<op>({s.r[i], s.g[i], s.b[i]}, {d.r[i], d.g[i], d.b[i]});
    const Pixel dp{d.r[i], d.g[i], d.b[i], 1.0f};
    Pixel r = clampPixel({dp.r + (b.r - dp.r) * fraction, dp.g + (b.g - dp.g) * fraction,
                          dp.b + (b.b - dp.b) * fraction, 1.0f});
    if constexpr (covered) r = cover(dp, r, float(coverage[i]) * (1.0f / 255.0f));
    d.r[i] = r.r;
    d.g[i] = r.g;
    d.b[i] = r.b;
  }
}

constexpr bool isBlend(Op op) { return op >= Op::Multiply; }

// The separable blends whose result on two 8-bit colours is a product or a
// choice of them: between opaque pixels, 255 × (blend − destination) is an
// exact integer, so the destination moves by it in integer arithmetic.
constexpr bool blendsInIntegers(Op op) {
  return op == Op::Multiply || op == Op::Screen || op == Op::Overlay || op == Op::Darken ||
         op == Op::Lighten || op == Op::HardLight || op == Op::Difference || op == Op::Exclusion;
}

// 255 × (B(s, d) − d) for channels 0…255; the same formulas as
// blendSeparable() with both sides multiplied out.
template <Op op>
inline int32_t blendDelta(int32_t s, int32_t d) {
  if constexpr (op == Op::Multiply) return -d * (255 - s);
  if constexpr (op == Op::Screen) return s * (255 - d);
  if constexpr (op == Op::Overlay) return (d <= 127 ? d : 255 - d) * (2 * s - 255);
  if constexpr (op == Op::HardLight) return (s <= 127 ? d : 255 - d) * (2 * s - 255);
  if constexpr (op == Op::Darken) return 255 * (std::min(s, d) - d);
  if constexpr (op == Op::Lighten) return 255 * (std::max(s, d) - d);
  if constexpr (op == Op::Difference) return 255 * (std::abs(s - d) - d);
  if constexpr (op == Op::Exclusion) return s * (255 - 2 * d);
  return 0;
}

// Each channel moves by fraction × delta / 255, with fraction / 255 in
// 22-bit fixed point: under 1/128 of a unit from the exact value before
// rounding to nearest. Alpha stays opaque.
template <Op op>
void blendOpaqueBytes(const uint32_t* source, uint32_t* destination, int count, float fraction) {
  const int32_t k = int32_t(double(fraction) * (1 << 22) / 255 + 0.5);
  for (int i = 0; i < count; ++i) {
    const uint32_t sp = source[i], dp = destination[i];
    auto channel = [&](int shift) {
      const int32_t s = int32_t((sp >> shift) & 0xff), d = int32_t((dp >> shift) & 0xff);
      return uint32_t(d + ((blendDelta<op>(s, d) * k + (1 << 21)) >> 22)) << shift;
    };
    destination[i] = 0xff000000u | channel(16) | channel(8) | channel(0);
  }
}

bool opaque(const uint32_t* pixels, int count) {
  uint32_t alphas = 0xff000000u;
  for (int i = 0; i < count; ++i) alphas &= pixels[i];
  return alphas == 0xff000000u;
}

// An opaque source over anything, uncovered, is the destination moved
// towards the source by the fraction, every channel alike (alpha too): a
// byte-wise interpolation with the fraction in 15-bit fixed point (a
// rounding high multiply in 16-bit lanes), whose error stays under 1/200 of
// a unit before rounding to nearest.
inline uint8_t interpolateByte(uint8_t from, uint8_t to, int16_t weight) {
  const int16_t difference = int16_t(int16_t(from) - int16_t(to));
  return uint8_t(to + int16_t((int32_t(difference) * weight + 16384) >> 15));
}

#ifdef __x86_64__
// The same, 16 bytes at a time: the vectoriser does not find the rounding
// high multiply by itself.
__attribute__((target("avx2"))) void interpolateBytesAvx2(const uint8_t* from, uint8_t* to,
                                                          int count, int16_t weight) {
  const __m256i w = _mm256_set1_epi16(weight);
  int i = 0;
  for (; i + 16 <= count; i += 16) {
    const __m256i s =
        _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(from + i)));
    const __m256i d =
        _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(to + i)));
    const __m256i r = _mm256_add_epi16(d, _mm256_mulhrs_epi16(_mm256_sub_epi16(s, d), w));
    const __m256i packed = _mm256_packus_epi16(r, _mm256_permute2x128_si256(r, r, 1));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(to + i), _mm256_castsi256_si128(packed));
  }
  for (; i < count; ++i) to[i] = interpolateByte(from[i], to[i], weight);
}
#endif

void interpolateBytes(const uint32_t* source, uint32_t* destination, int count, float fraction) {
  if (fraction >= 1.0f) {
    std::copy(source, source + count, destination);
    return;
  }
  // Below one, so the weight fits the 16-bit lanes of the multiply.
  const int16_t weight = int16_t(std::min(32767.0f, fraction * 32768.0f + 0.5f));
  const auto* from = reinterpret_cast<const uint8_t*>(source);
  auto* to = reinterpret_cast<uint8_t*>(destination);
#ifdef __x86_64__
  static const bool vectors = __builtin_cpu_supports("avx2");
  if (vectors) return interpolateBytesAvx2(from, to, count * 4, weight);
#endif
  for (int i = 0; i < count * 4; ++i) to[i] = interpolateByte(from[i], to[i], weight);
}

template <Op op>
void compositeRun(const uint32_t* source, uint32_t* destination, const uint8_t* coverage,
                  int pixelCount, float fraction) {
  Channels s, d;
  const float sourceScale = fraction * (1.0f / 255.0f);
  for (int start = 0; start < pixelCount; start += RunLength) {
    const int count = std::min(RunLength, pixelCount - start);
    const uint8_t* covering = coverage ? coverage + start : nullptr;
    if (op == Op::SourceOver && !covering && fraction >= 0.0f && opaque(source + start, count)) {
      interpolateBytes(source + start, destination + start, count, fraction);
      continue;
    }
    if constexpr (blendsInIntegers(op)) {
      if (!covering && fraction >= 0.0f && fraction <= 1.0f && opaque(source + start, count) &&
          opaque(destination + start, count)) {
        blendOpaqueBytes<op>(source + start, destination + start, count, fraction);
        continue;
      }
    }
    if (isBlend(op) && opaque(source + start, count) && opaque(destination + start, count)) {
      unpack(source + start, count, 1.0f / 255.0f, s);
      unpack(destination + start, count, 1.0f / 255.0f, d);
      if (covering)
        blendOpaqueChannels<op, true>(s, d, covering, fraction, count);
      else
        blendOpaqueChannels<op, false>(s, d, nullptr, fraction, count);
    } else {
      unpack(source + start, count, sourceScale, s);
      unpack(destination + start, count, 1.0f / 255.0f, d);
      if (covering)
        compositeChannels<op, true>(s, d, covering, count);
      else
        compositeChannels<op, false>(s, d, nullptr, count);
    }
    pack(d, count, destination + start);
  }
}

}  // namespace

// With GCC, compiled three times, for processors with AVX-512 (sixteen
// floats at a time), with AVX2 (eight) and for any other, and chosen when
// the program loads; every run is inlined into each version so the whole
// loop gets the wider instructions. Clang cannot combine the two, and
// builds (the sanitizer and fuzzing ones) the portable version alone.
#if defined(__GNUC__) && !defined(__clang__)
#define TESSALY_ROW_VERSIONS \
  __attribute__((target_clones("arch=x86-64-v4", "avx2", "default"), flatten))
#else
#define TESSALY_ROW_VERSIONS
#endif

TESSALY_ROW_VERSIONS void compositeRow(CompositingOperation op, const uint32_t* source,
                                       uint32_t* destination, const uint8_t* coverage,
                                       int pixelCount, float fraction) {
  if (op == Op::Highlight) op = Op::SourceOver;
  if (op == Op::Copy && !coverage && fraction >= 1.0f) {
    std::copy(source, source + pixelCount, destination);
    return;
  }
  dispatch(op,
           [&]<Op O>() { compositeRun<O>(source, destination, coverage, pixelCount, fraction); });
}

}  // namespace gfx
