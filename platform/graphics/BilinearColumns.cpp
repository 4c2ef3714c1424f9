#include "graphics/BilinearColumns.h"

#include <algorithm>
#ifdef __x86_64__
#include <immintrin.h>

#include "graphics/BilinearVectors.h"
#endif

namespace gfx {

BilinearColumns::BilinearColumns(const BilinearSpan& span, int64_t origin, int64_t step, int left,
                                 int width)
    : origin_(origin), step_(step), left_(left) {
  offsets_.resize(size_t(std::max(width, 0)));
  nextOffsets_.resize(offsets_.size());
  weights_.resize(offsets_.size());
  pairedFirst_ = width;
  pairedLast_ = 0;
  for (int i = 0; i < width; ++i) {
    const int64_t u = origin + int64_t(left + i) * step;
    const int x0 = int(u >> 32);
    // Beyond the pixels, samples repeat the border ones.
    offsets_[i] = std::clamp(x0, span.left, span.right) * 4;
    nextOffsets_[i] = std::clamp(x0 + 1, span.left, span.right) * 4;
    const uint32_t w = uint32_t(u) >> 16;
    weights_[i] = w | (w << 16);
    if (x0 >= span.left && x0 < span.right) {
      pairedFirst_ = std::min(pairedFirst_, i);
      pairedLast_ = std::max(pairedLast_, i + 1);
    }
  }
  // Positions are monotonic in the column, so the paired columns are one run.
  if (pairedLast_ < pairedFirst_) pairedFirst_ = pairedLast_ = 0;
}

void BilinearColumns::sampleOneByOne(const unsigned char* upper, const unsigned char* lower,
                                     uint32_t wy, int from, int to, QRgb* out) const {
  auto at = [](const unsigned char* row, int32_t offset) {
    return *reinterpret_cast<const QRgb*>(row + offset);
  };
  for (int i = from; i < to; ++i)
    *out++ = BilinearSpan::blend(at(upper, offsets_[i]), at(upper, nextOffsets_[i]),
                                 at(lower, offsets_[i]), at(lower, nextOffsets_[i]),
                                 weights_[i] & 0xffff, wy);
}

#ifdef __x86_64__
__attribute__((target("avx2"))) void BilinearColumns::sampleEightAtATime(const unsigned char* upper,
                                                                         const unsigned char* lower,
                                                                         uint32_t wy, int from,
                                                                         int to, QRgb* out) const {
  using namespace bilinear;
  const __m256i wy1 = _mm256_set1_epi32(int(wy | (wy << 16)));
  for (int i = from; i < to; i += 8, out += 8) {
    __m256i p00, p01, p10, p11;
    loadPairs(upper, offsets_.data() + i, &p00, &p01);
    loadPairs(lower, offsets_.data() + i, &p10, &p11);
    const __m256i wx1 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(weights_.data() + i));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), mix(p00, p01, p10, p11, wx1, wy1));
  }
}
#else
void BilinearColumns::sampleEightAtATime(const unsigned char* upper, const unsigned char* lower,
                                         uint32_t wy, int from, int to, QRgb* out) const {
  sampleOneByOne(upper, lower, wy, from, to, out);
}
#endif

void BilinearColumns::sample(const BilinearSpan& span, int64_t v, int from, int count,
                             QRgb* out) const {
  const int y0 = int(v >> 32);
  const unsigned char* upper = span.bits + std::clamp(y0, span.top, span.bottom) * span.stride;
  const unsigned char* lower = span.bits + std::clamp(y0 + 1, span.top, span.bottom) * span.stride;
  const uint32_t wy = uint32_t(v) >> 16;
  int i = from - left_;
  const int end = i + count;
  int vectorEnd = i;
#ifdef __x86_64__
  static const bool vectors = __builtin_cpu_supports("avx2");
  if (vectors && span.stride > 0) {
    const int pairedFrom = std::clamp(pairedFirst_, i, end);
    const int pairedTo = std::clamp(pairedLast_, pairedFrom, end);
    vectorEnd = pairedFrom + (pairedTo - pairedFrom) / 8 * 8;
    sampleOneByOne(upper, lower, wy, i, pairedFrom, out);
    sampleEightAtATime(upper, lower, wy, pairedFrom, vectorEnd, out + (pairedFrom - i));
  }
#endif
  sampleOneByOne(upper, lower, wy, vectorEnd, end, out + (vectorEnd - i));
}

}  // namespace gfx
