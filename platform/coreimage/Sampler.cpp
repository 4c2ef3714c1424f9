#include "coreimage/Sampler.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace ci {

void SamplerView::pixelAt(int x, int y, float rgba[4]) const {
  const IRect& r = pixels_->rect();
  if (x < r.x || y < r.y || x >= r.right() || y >= r.top()) {
    rgba[0] = rgba[1] = rgba[2] = rgba[3] = 0;
    return;
  }
  std::memcpy(rgba, pixels_->pixel(x, y), 16);
}

const float* SamplerView::pixelsAtCentres(int x, int y, int count) const {
  if (!pixels_ || pixels_->isNull()) return nullptr;
  const IRect& r = pixels_->rect();
  if (y < r.y || y >= r.top() || x < r.x || x + count > r.right()) return nullptr;
  return pixels_->pixel(x, y);
}

void SamplerView::readPixels(int x, int y, int count, float* out) const {
  std::memset(out, 0, size_t(std::max(count, 0)) * 16);
  if (!pixels_ || pixels_->isNull()) return;
  const IRect& r = pixels_->rect();
  if (y < r.y || y >= r.top()) return;
  const int from = std::max(x, r.x), to = std::min(x + count, r.right());
  if (to > from)
    std::memcpy(out + size_t(from - x) * 4, pixels_->pixel(from, y), size_t(to - from) * 16);
}

void SamplerView::sample(double x, double y, float rgba[4]) const {
  if (!pixels_ || pixels_->isNull()) {
    rgba[0] = rgba[1] = rgba[2] = rgba[3] = 0;
    return;
  }
  if (sampling_ == Sampling::Nearest) {
    pixelAt(int(std::floor(x)), int(std::floor(y)), rgba);
    return;
  }
  const double fx = x - 0.5, fy = y - 0.5;
  const int ix = int(std::floor(fx)), iy = int(std::floor(fy));
  const float tx = float(fx - ix), ty = float(fy - iy);
  float p00[4], p10[4], p01[4], p11[4];
  pixelAt(ix, iy, p00);
  pixelAt(ix + 1, iy, p10);
  pixelAt(ix, iy + 1, p01);
  pixelAt(ix + 1, iy + 1, p11);
  for (int c = 0; c < 4; ++c) {
    const float bottom = p00[c] + (p10[c] - p00[c]) * tx;
    const float top = p01[c] + (p11[c] - p01[c]) * tx;
    rgba[c] = bottom + (top - bottom) * ty;
  }
}

}  // namespace ci
