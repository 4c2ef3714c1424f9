#include "coreimage/GaussianBlurNode.h"

#include <cmath>

#include "coreimage/Vectorize.h"
#include "coreimage/WorkerPool.h"

namespace ci {

namespace {

// out[i] = w0·c[i] + Σk wk·(c[i − k·step] + c[i + k·step]) over n floats;
// `centre` points at the first centre value. Blocks of 16 outputs stay in
// registers across all taps, so each tap costs two loads and no store.
CI_VECTORIZE void convolveRow(const float* centre, size_t step, const float* w, int radius,
                              float* out, size_t n) {
  constexpr size_t kBlock = 16;
  size_t i0 = 0;
  for (; i0 + kBlock <= n; i0 += kBlock) {
    float acc[kBlock];
    for (size_t j = 0; j < kBlock; ++j) acc[j] = w[0] * centre[i0 + j];
    for (int k = 1; k <= radius; ++k) {
      const float wk = w[k];
      const float* below = centre + i0 - size_t(k) * step;
      const float* above = centre + i0 + size_t(k) * step;
      for (size_t j = 0; j < kBlock; ++j) acc[j] += wk * (below[j] + above[j]);
    }
    for (size_t j = 0; j < kBlock; ++j) out[i0 + j] = acc[j];
  }
  for (size_t i = i0; i < n; ++i) {
    float acc = w[0] * centre[i];
    // The offset is taken from the pointer: as an index, i − k·step would
    // wrap around below zero.
    for (int k = 1; k <= radius; ++k)
      acc += w[k] * (*(centre + i - size_t(k) * step) + centre[i + size_t(k) * step]);
    out[i] = acc;
  }
}

// The vertical pass over `rows` rows and n floats of each, in strips of
// kStrip floats walked top to bottom: the window of 2·radius + 1 rows of
// one strip stays in the first-level cache while it slides down, where a
// row-by-row walk would pull every window row from further away each time.
// Each value is summed in the same order as convolveRow's, so the result is
// the same bit for bit.
CI_VECTORIZE void convolveColumns(const float* centre, size_t inStride, const float* w, int radius,
                                  float* out, size_t outStride, size_t n, int rows) {
  constexpr size_t kStrip = 64;
  size_t i0 = 0;
  for (; i0 + kStrip <= n; i0 += kStrip)
    for (int y = 0; y < rows; ++y) {
      const float* c = centre + size_t(y) * inStride + i0;
      float acc[kStrip];
      for (size_t j = 0; j < kStrip; ++j) acc[j] = w[0] * c[j];
      for (int k = 1; k <= radius; ++k) {
        const float wk = w[k];
        const float* below = c - size_t(k) * inStride;
        const float* above = c + size_t(k) * inStride;
        for (size_t j = 0; j < kStrip; ++j) acc[j] += wk * (below[j] + above[j]);
      }
      float* o = out + size_t(y) * outStride + i0;
      for (size_t j = 0; j < kStrip; ++j) o[j] = acc[j];
    }
  if (i0 < n)
    for (int y = 0; y < rows; ++y)
      convolveRow(centre + size_t(y) * inStride + i0, inStride, w, radius,
                  out + size_t(y) * outStride + i0, n - i0);
}

}  // namespace

int GaussianBlurNode::radiusForSigma(double sigma) {
  return std::max(1, int(std::ceil(3.0 * sigma)));
}

std::vector<float> GaussianBlurNode::weights(double sigma) {
  const int radius = radiusForSigma(sigma);
  std::vector<double> w(size_t(radius) + 1);
  double sum = 0;
  for (int k = 0; k <= radius; ++k) {
    w[size_t(k)] = std::exp(-double(k) * k / (2.0 * sigma * sigma));
    sum += k == 0 ? w[0] : 2 * w[size_t(k)];
  }
  std::vector<float> normalised(w.size());
  for (size_t k = 0; k < w.size(); ++k) normalised[k] = float(w[k] / sum);
  return normalised;
}

GaussianBlurNode::GaussianBlurNode(Image input, double sigma)
    : ImageNode(inset(input.extent(), -radiusForSigma(sigma), -radiusForSigma(sigma))),
      input_(std::move(input)),
      weights_(weights(sigma)),
      radius_(radiusForSigma(sigma)) {}

QRectF GaussianBlurNode::regionOfInterest(int, const QRectF& rect) const {
  return rect.adjusted(-radius_, -radius_, radius_, radius_);
}

void GaussianBlurNode::render(PixelBuffer& out) const {
  const IRect& r = out.rect();
  const PixelBuffer in = renderInput(0, input_, r);
  // Vertical pass over the full input width, then horizontal into `out`;
  // the threads take columns of the first and rows of the second.
  PixelBuffer vertical(r.adjusted(-radius_, 0, radius_, 0));
  const int wideFloats = vertical.rect().w * 4;
  const float* w = weights_.data();
  WorkerPool::parallelBands(
      (wideFloats + 63) / 64, bandRows(r.h * 16, 4096), [&](int begin, int end) {
        const size_t first = size_t(begin) * 64;
        const size_t last = std::min(size_t(end) * 64, size_t(wideFloats));
        convolveColumns(in.pixel(vertical.rect().x, r.y) + first, in.stride(), w, radius_,
                        vertical.row(r.y) + first, vertical.stride(), last - first, r.h);
      });
  WorkerPool::parallelBands(r.h, bandRows(r.w, 4096), [&](int begin, int end) {
    for (int y = r.y + begin; y < r.y + end; ++y)
      convolveRow(vertical.pixel(r.x, y), 4, w, radius_, out.row(y), size_t(r.w) * 4);
  });
}

}  // namespace ci
