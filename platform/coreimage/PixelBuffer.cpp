#include "coreimage/PixelBuffer.h"

#include <cstring>

#include "coreimage/BlockPool.h"

namespace ci {

std::shared_ptr<float[]> recycledBlock(size_t floats) { return BlockPool::shared().take(floats); }

PixelBuffer::PixelBuffer(const IRect& rect) : rect_(rect) {
  if (rect.isEmpty()) {
    rect_ = {};
    return;
  }
  stride_ = size_t(rect.w) * 4;
  storage_ = BlockPool::shared().take(stride_ * size_t(rect.h));
  data_ = storage_.get();
}

PixelBuffer PixelBuffer::zeroed(const IRect& rect) {
  PixelBuffer buffer(rect);
  buffer.clear();
  return buffer;
}

PixelBuffer PixelBuffer::view(const IRect& sub) const {
  PixelBuffer v;
  const IRect inside = sub.intersected(rect_);
  if (inside.isEmpty()) return v;
  v.rect_ = inside;
  v.stride_ = stride_;
  v.storage_ = storage_;
  v.data_ = const_cast<float*>(pixel(inside.x, inside.y));
  return v;
}

void PixelBuffer::fill(float r, float g, float b, float a) {
  for (int y = rect_.y; y < rect_.top(); ++y) {
    float* p = row(y);
    if (r == 0 && g == 0 && b == 0 && a == 0) {
      std::memset(p, 0, size_t(rect_.w) * 4 * sizeof(float));
      continue;
    }
    for (int x = 0; x < rect_.w; ++x, p += 4) {
      p[0] = r, p[1] = g, p[2] = b, p[3] = a;
    }
  }
}

void PixelBuffer::clearOutside(const IRect& keep) {
  const IRect inside = keep.intersected(rect_);
  if (inside.isEmpty()) {
    clear();
    return;
  }
  const size_t rowBytes = size_t(rect_.w) * 4 * sizeof(float);
  for (int y = rect_.y; y < rect_.top(); ++y) {
    float* p = row(y);
    if (y < inside.y || y >= inside.top()) {
      std::memset(p, 0, rowBytes);
      continue;
    }
    std::memset(p, 0, size_t(inside.x - rect_.x) * 4 * sizeof(float));
    std::memset(p + size_t(inside.right() - rect_.x) * 4, 0,
                size_t(rect_.right() - inside.right()) * 4 * sizeof(float));
  }
}

void PixelBuffer::copyFrom(const PixelBuffer& source) {
  const IRect overlap = rect_.intersected(source.rect());
  for (int y = overlap.y; y < overlap.top(); ++y)
    std::memcpy(pixel(overlap.x, y), source.pixel(overlap.x, y),
                size_t(overlap.w) * 4 * sizeof(float));
}

PixelBuffer PixelBuffer::relabeled(int x, int y) const {
  PixelBuffer v = *this;
  v.rect_.x = x;
  v.rect_.y = y;
  return v;
}

PixelBuffer PixelBuffer::clone() const {
  PixelBuffer copy(rect_);
  copy.copyFrom(*this);
  return copy;
}

}  // namespace ci
