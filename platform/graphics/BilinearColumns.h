// The bilinear filter over a draw that only scales and moves its image: each
// target column reads the same two source columns with the same weight on
// every row, so they are worked out once per draw instead of once per pixel.
// Gives the very bytes of BilinearSpan's runs. Internal to the graphics
// library.
#pragma once

#include <QRgb>
#include <cstdint>
#include <vector>

#include "graphics/BilinearSpan.h"

namespace gfx {

class BilinearColumns {
 public:
  BilinearColumns() = default;
  // Target columns [left, left + width) sample at `origin + column * step`
  // (32.32 fixed point, as BilinearSpan's positions), within `span`'s pixels.
  BilinearColumns(const BilinearSpan& span, int64_t origin, int64_t step, int left, int width);

  // Whether a run of `count` columns from `from`, its positions starting at
  // `origin + column * step`, is the one laid out here.
  bool holds(int64_t origin, int64_t step, int from, int count) const {
    return !offsets_.empty() && origin == origin_ && step == step_ && from >= left_ &&
           from + count <= left_ + int(offsets_.size());
  }
  // Fills `out[0, count)` with the samples of columns from `from` on a row
  // whose vertical position is `v`; `span` is the one laid out for, with
  // its pixels in place.
  void sample(const BilinearSpan& span, int64_t v, int from, int count, QRgb* out) const;

 private:
  void sampleOneByOne(const unsigned char* upper, const unsigned char* lower, uint32_t wy, int from,
                      int to, QRgb* out) const;
  void sampleEightAtATime(const unsigned char* upper, const unsigned char* lower, uint32_t wy,
                          int from, int to, QRgb* out) const;

  int64_t origin_ = 0, step_ = 0;
  int left_ = 0;
  // Per column from `left_`: byte offsets of the two source pixels within a
  // row, and the weight of the second in both halves of 32 bits.
  std::vector<int32_t> offsets_, nextOffsets_;
  std::vector<uint32_t> weights_;
  // The columns, from `left_`, whose two pixels lie side by side, so they
  // load as one pair.
  int pairedFirst_ = 0, pairedLast_ = 0;
};

}  // namespace gfx
