// The bilinear filter's inner loop: a run of samples along a straight line
// through premultiplied ARGB32 pixels. Internal to the graphics library.
//
// Every path computes the same bits: each channel is weighed in 8.8 fixed
// point with 16-bit weights that sum to 0xffff, truncating each product, so
// the filter is monotonic in every input and a colour never exceeds its
// alpha. Vector paths run where the processor has them.
#pragma once

#include <QRgb>
#include <cstddef>
#include <cstdint>

namespace gfx {

struct BilinearSpan {
  const unsigned char* bits = nullptr;
  ptrdiff_t stride = 0;
  // The pixels sampled, inclusive; beyond them samples repeat the border.
  int left = 0, top = 0, right = 0, bottom = 0;
  // From one target row to the next, in the same fixed point as positions:
  // where the rows after this one will read, to have it in cache by then.
  int64_t rowStepU = 0, rowStepV = 0;

  // Positions are 32.32 fixed point in the pixel grid, pixel centres at
  // whole numbers: fills `out[0, count)` with the samples at (u, v),
  // (u + stepU, v + stepV), …
  void sample(int64_t u, int64_t v, int64_t stepU, int64_t stepV, int count, QRgb* out) const;

  // One sample of the same filter; `wx` and `wy` are 16-bit fractions.
  static QRgb blend(QRgb p00, QRgb p01, QRgb p10, QRgb p11, uint32_t wx, uint32_t wy);

 private:
  void readAhead(int64_t u, int64_t v, int64_t stepU, int64_t stepV) const;
  void sampleOneByOne(int64_t u, int64_t v, int64_t stepU, int64_t stepV, int count,
                      QRgb* out) const;
  void sampleEightAtATime(int64_t u, int64_t v, int64_t stepU, int64_t stepV, int count,
                          QRgb* out) const;
};

}  // namespace gfx
