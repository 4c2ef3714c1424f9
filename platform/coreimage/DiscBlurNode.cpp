#include "coreimage/DiscBlurNode.h"

#include <cmath>

#include "coreimage/Vectorize.h"
#include "coreimage/WorkerPool.h"

namespace ci {

namespace {

// out[i] += Σ_{dx=−half..half} row[i + 4·dx] over n floats.
CI_VECTORIZE void addSpan(const float* centre, int half, float* out, size_t n) {
  for (int dx = -half; dx <= half; ++dx) {
    const float* p = centre + ptrdiff_t(dx) * 4;
    for (size_t i = 0; i < n; ++i) out[i] += p[i];
  }
}

}  // namespace

DiscBlurNode::DiscBlurNode(Image input, double radius)
    : ImageNode(inset(input.extent(), -std::ceil(radius), -std::ceil(radius))),
      input_(std::move(input)),
      reach_(int(std::floor(radius))) {
  int count = 0;
  for (int dy = -reach_; dy <= reach_; ++dy) {
    const int half = int(std::floor(std::sqrt(std::max(0.0, radius * radius - dy * dy))));
    halfWidths_.push_back(half);
    count += 2 * half + 1;
  }
  scale_ = 1.0f / float(count);
}

QRectF DiscBlurNode::regionOfInterest(int, const QRectF& rect) const {
  return rect.adjusted(-reach_, -reach_, reach_, reach_);
}

void DiscBlurNode::render(PixelBuffer& out) const {
  const IRect& r = out.rect();
  const PixelBuffer in = renderInput(0, input_, r);
  const size_t n = size_t(r.w) * 4;
  WorkerPool::parallelBands(r.h, bandRows(r.w, 4096), [&](int begin, int end) {
    for (int y = r.y + begin; y < r.y + end; ++y) {
      float* row = out.row(y);
      std::fill(row, row + n, 0.0f);
      for (int dy = -reach_; dy <= reach_; ++dy)
        addSpan(in.pixel(r.x, y + dy), halfWidths_[size_t(dy + reach_)], row, n);
      for (size_t i = 0; i < n; ++i) row[i] *= scale_;
    }
  });
}

}  // namespace ci
