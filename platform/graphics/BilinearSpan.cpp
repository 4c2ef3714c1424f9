#include "graphics/BilinearSpan.h"

#include <algorithm>
#include <climits>
#ifdef __x86_64__
#include <immintrin.h>

#include "graphics/BilinearVectors.h"
#endif

namespace gfx {
namespace {

constexpr int PositionBits = 32;
// Read-ahead distance in target rows. A rotated row crosses hundreds of image
// rows and leaves most of the lines it loads for the rows after it; lines no
// row has loaded yet come from memory, and asking for them a few rows early
// hides that wait, which the processor's own prefetchers cannot guess.
constexpr int RowsAhead = 4;

inline uint32_t fraction(int64_t position) { return uint32_t(position) >> 16; }

}  // namespace

#ifdef __SSE2__
QRgb BilinearSpan::blend(QRgb p00, QRgb p01, QRgb p10, QRgb p11, uint32_t wx, uint32_t wy) {
  const __m128i zero = _mm_setzero_si128();
  // Channels as 8.8 fixed point: the left pixels in the low half, the right
  // ones in the high half, each weighed by its side's weight.
  const __m128i upper = _mm_unpacklo_epi8(zero, _mm_setr_epi32(int(p00), int(p01), 0, 0));
  const __m128i lower = _mm_unpacklo_epi8(zero, _mm_setr_epi32(int(p10), int(p11), 0, 0));
  const __m128i across =
      _mm_unpacklo_epi64(_mm_set1_epi16(short(0xffff - wx)), _mm_set1_epi16(short(wx)));
  __m128i top = _mm_mulhi_epu16(upper, across);
  __m128i bottom = _mm_mulhi_epu16(lower, across);
  top = _mm_add_epi16(top, _mm_srli_si128(top, 8));
  bottom = _mm_add_epi16(bottom, _mm_srli_si128(bottom, 8));
  __m128i sum = _mm_add_epi16(_mm_mulhi_epu16(top, _mm_set1_epi16(short(0xffff - wy))),
                              _mm_mulhi_epu16(bottom, _mm_set1_epi16(short(wy))));
  sum = _mm_srli_epi16(_mm_add_epi16(sum, _mm_set1_epi16(128)), 8);
  return QRgb(_mm_cvtsi128_si32(_mm_packus_epi16(sum, sum)));
}
#else
QRgb BilinearSpan::blend(QRgb p00, QRgb p01, QRgb p10, QRgb p11, uint32_t wx, uint32_t wy) {
  auto weigh = [](uint32_t a, uint32_t b, uint32_t w) {
    return ((a * (0xffff - w)) >> 16) + ((b * w) >> 16);
  };
  QRgb out = 0;
  for (int shift = 0; shift < 32; shift += 8) {
    auto at = [shift](QRgb p) { return ((p >> shift) & 0xff) << 8; };
    uint32_t top = weigh(at(p00), at(p01), wx), bottom = weigh(at(p10), at(p11), wx);
    out |= ((weigh(top, bottom, wy) + 128) >> 8) << shift;
  }
  return out;
}
#endif

__attribute__((always_inline)) inline void BilinearSpan::readAhead(int64_t u, int64_t v,
                                                                   int64_t stepU,
                                                                   int64_t stepV) const {
  // Eight samples lie within two image rows and a few pixels: two points
  // four samples apart, each with the row below, reach their lines.
  for (int k = 0; k < 8; k += 4, u += 4 * stepU, v += 4 * stepV) {
    const int x = std::clamp(int(u >> PositionBits), left, right);
    const int y = std::clamp(int(v >> PositionBits), top, std::max(top, bottom - 1));
    const unsigned char* at = bits + y * stride + x * 4;
    __builtin_prefetch(at);
    __builtin_prefetch(at + stride);
  }
}

void BilinearSpan::sampleOneByOne(int64_t u, int64_t v, int64_t stepU, int64_t stepV, int count,
                                  QRgb* out) const {
  auto pixelAt = [this](int x, int y) {
    return reinterpret_cast<const QRgb*>(bits + y * stride)[x];
  };
  for (int i = 0; i < count; ++i, u += stepU, v += stepV) {
    const int x0 = int(u >> PositionBits), y0 = int(v >> PositionBits);
    if (x0 >= left && x0 < right && y0 >= top && y0 < bottom) {
      const QRgb* upper = reinterpret_cast<const QRgb*>(bits + y0 * stride) + x0;
      const QRgb* lower = reinterpret_cast<const QRgb*>(bits + (y0 + 1) * stride) + x0;
      out[i] = blend(upper[0], upper[1], lower[0], lower[1], fraction(u), fraction(v));
    } else {
      // Near the edges samples repeat the border pixels.
      const int xa = std::clamp(x0, left, right), xb = std::clamp(x0 + 1, left, right);
      const int ya = std::clamp(y0, top, bottom), yb = std::clamp(y0 + 1, top, bottom);
      out[i] = blend(pixelAt(xa, ya), pixelAt(xb, ya), pixelAt(xa, yb), pixelAt(xb, yb),
                     fraction(u), fraction(v));
    }
  }
}

#ifdef __x86_64__
namespace {

using namespace bilinear;

__attribute__((target("avx2"))) inline __m256i lanes(int64_t p, int64_t s, int a, int b, int c,
                                                     int d) {
  return _mm256_setr_epi64x(p + a * s, p + b * s, p + c * s, p + d * s);
}

// A lane's 16-bit fraction in both halves of its 32 bits.
__attribute__((target("avx2"))) inline __m256i weights(__m256 fractions) {
  const __m256i w = _mm256_srli_epi32(_mm256_castps_si256(fractions), 16);
  return _mm256_or_si256(w, _mm256_slli_epi32(w, 16));
}

}  // namespace

__attribute__((target("avx2"))) void BilinearSpan::sampleEightAtATime(int64_t u, int64_t v,
                                                                      int64_t stepU, int64_t stepV,
                                                                      int count, QRgb* out) const {
  // Positions of lanes 0 1 4 5 and 2 3 6 7, so their halves shuffle into order.
  __m256i u0 = lanes(u, stepU, 0, 1, 4, 5), u1 = lanes(u, stepU, 2, 3, 6, 7);
  __m256i v0 = lanes(v, stepV, 0, 1, 4, 5), v1 = lanes(v, stepV, 2, 3, 6, 7);
  const __m256i stepU8 = _mm256_set1_epi64x(8 * stepU), stepV8 = _mm256_set1_epi64x(8 * stepV);
  const __m256i low = _mm256_set1_epi32(left);
  const __m256i lowRow = _mm256_set1_epi32(top);
  const __m256i high = _mm256_set1_epi32(right - 1), highRow = _mm256_set1_epi32(bottom - 1);
  const __m256i rowBytes = _mm256_set1_epi32(int32_t(stride));
  const int64_t aheadU = RowsAhead * rowStepU, aheadV = RowsAhead * rowStepV;
  int i = 0;
  for (; i + 8 <= count; i += 8) {
    const __m256 us = _mm256_shuffle_ps(_mm256_castsi256_ps(u0), _mm256_castsi256_ps(u1),
                                        _MM_SHUFFLE(3, 1, 3, 1));
    const __m256 vs = _mm256_shuffle_ps(_mm256_castsi256_ps(v0), _mm256_castsi256_ps(v1),
                                        _MM_SHUFFLE(3, 1, 3, 1));
    const __m256i x0 = _mm256_castps_si256(us), y0 = _mm256_castps_si256(vs);
    const __m256i outside = _mm256_or_si256(
        _mm256_or_si256(_mm256_cmpgt_epi32(low, x0), _mm256_cmpgt_epi32(x0, high)),
        _mm256_or_si256(_mm256_cmpgt_epi32(lowRow, y0), _mm256_cmpgt_epi32(y0, highRow)));
    readAhead(u + i * stepU + aheadU, v + i * stepV + aheadV, stepU, stepV);
    if (!_mm256_testz_si256(outside, outside)) {
      sampleOneByOne(u + i * stepU, v + i * stepV, stepU, stepV, 8, out + i);
    } else {
      alignas(32) int32_t offsets[8];
      _mm256_store_si256(
          reinterpret_cast<__m256i*>(offsets),
          _mm256_add_epi32(_mm256_mullo_epi32(y0, rowBytes), _mm256_slli_epi32(x0, 2)));
      __m256i p00, p01, p10, p11;
      loadPairs(bits, offsets, &p00, &p01);
      loadPairs(bits + stride, offsets, &p10, &p11);
      const __m256i wx1 = weights(_mm256_shuffle_ps(
          _mm256_castsi256_ps(u0), _mm256_castsi256_ps(u1), _MM_SHUFFLE(2, 0, 2, 0)));
      const __m256i wy1 = weights(_mm256_shuffle_ps(
          _mm256_castsi256_ps(v0), _mm256_castsi256_ps(v1), _MM_SHUFFLE(2, 0, 2, 0)));
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i), mix(p00, p01, p10, p11, wx1, wy1));
    }
    u0 = _mm256_add_epi64(u0, stepU8);
    u1 = _mm256_add_epi64(u1, stepU8);
    v0 = _mm256_add_epi64(v0, stepV8);
    v1 = _mm256_add_epi64(v1, stepV8);
  }
  sampleOneByOne(u + i * stepU, v + i * stepV, stepU, stepV, count - i, out + i);
}
#else
void BilinearSpan::sampleEightAtATime(int64_t u, int64_t v, int64_t stepU, int64_t stepV, int count,
                                      QRgb* out) const {
  sampleOneByOne(u, v, stepU, stepV, count, out);
}
#endif

void BilinearSpan::sample(int64_t u, int64_t v, int64_t stepU, int64_t stepV, int count,
                          QRgb* out) const {
#ifdef __x86_64__
  static const bool vectors = __builtin_cpu_supports("avx2");
  // Offsets into the pixels are 32-bit in the vector path.
  const int64_t reach = int64_t(bottom + 1) * stride;
  if (vectors && count >= 8 && stride > 0 && reach < INT32_MAX) {
    sampleEightAtATime(u, v, stepU, stepV, count, out);
    return;
  }
#endif
  sampleOneByOne(u, v, stepU, stepV, count, out);
}

}  // namespace gfx
