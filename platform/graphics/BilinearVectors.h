// The bilinear filter's vector steps, shared by its runs along any line and
// its runs over precomputed columns. Internal to the graphics library.
#pragma once

#ifdef __x86_64__
#include <immintrin.h>

#include <cstdint>

namespace gfx::bilinear {

// Two pixels' pairs of neighbours.
__attribute__((target("avx2"))) inline __m128i twoPairs(const unsigned char* a,
                                                        const unsigned char* b) {
  __m128d low = _mm_castsi128_pd(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(a)));
  return _mm_castpd_si128(_mm_loadh_pd(low, reinterpret_cast<const double*>(b)));
}

// Eight pixels' pairs of neighbours on one row: lanes hold pixel pairs
// 0 1 4 5 and 2 3 6 7, which one shuffle of each puts back in order.
__attribute__((target("avx2"))) inline void loadPairs(const unsigned char* bits,
                                                      const int32_t* offsets, __m256i* left,
                                                      __m256i* right) {
  const __m256 x =
      _mm256_castsi256_ps(_mm256_set_m128i(twoPairs(bits + offsets[4], bits + offsets[5]),
                                           twoPairs(bits + offsets[0], bits + offsets[1])));
  const __m256 y =
      _mm256_castsi256_ps(_mm256_set_m128i(twoPairs(bits + offsets[6], bits + offsets[7]),
                                           twoPairs(bits + offsets[2], bits + offsets[3])));
  *left = _mm256_castps_si256(_mm256_shuffle_ps(x, y, _MM_SHUFFLE(2, 0, 2, 0)));
  *right = _mm256_castps_si256(_mm256_shuffle_ps(x, y, _MM_SHUFFLE(3, 1, 3, 1)));
}

// Two channels of each pixel as 8.8 fixed point in 16-bit lanes: blue and red, or
// green and alpha.
__attribute__((target("avx2"))) inline __m256i blueRed(__m256i p) {
  return _mm256_and_si256(_mm256_slli_epi32(p, 8), _mm256_set1_epi32(int(0xff00ff00)));
}
__attribute__((target("avx2"))) inline __m256i greenAlpha(__m256i p) {
  return _mm256_and_si256(p, _mm256_set1_epi32(int(0xff00ff00)));
}
__attribute__((target("avx2"))) inline __m256i weigh(__m256i a, __m256i b, __m256i wa, __m256i wb) {
  return _mm256_add_epi16(_mm256_mulhi_epu16(a, wa), _mm256_mulhi_epu16(b, wb));
}

// Eight pixels, each the four around it weighed by its column weight `wx1`
// and row weight `wy1` (the weights of the right and lower pixels; the
// others take their complement), rounded to 8 bits.
__attribute__((target("avx2"))) inline __m256i mix(__m256i p00, __m256i p01, __m256i p10,
                                                   __m256i p11, __m256i wx1, __m256i wy1) {
  const __m256i ones = _mm256_set1_epi32(-1), half = _mm256_set1_epi16(128);
  const __m256i wx0 = _mm256_xor_si256(wx1, ones), wy0 = _mm256_xor_si256(wy1, ones);
  const __m256i br = weigh(weigh(blueRed(p00), blueRed(p01), wx0, wx1),
                           weigh(blueRed(p10), blueRed(p11), wx0, wx1), wy0, wy1);
  const __m256i ga = weigh(weigh(greenAlpha(p00), greenAlpha(p01), wx0, wx1),
                           weigh(greenAlpha(p10), greenAlpha(p11), wx0, wx1), wy0, wy1);
  return _mm256_or_si256(_mm256_srli_epi16(_mm256_add_epi16(br, half), 8),
                         greenAlpha(_mm256_add_epi16(ga, half)));
}

}  // namespace gfx::bilinear
#endif
