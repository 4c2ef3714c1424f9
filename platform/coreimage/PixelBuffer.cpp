#include "coreimage/PixelBuffer.h"

#include <cstring>
#include <map>
#include <mutex>

namespace ci {

namespace {

// Tiles allocate and free buffers of a few megabytes many times per render.
// Fresh large allocations come from the kernel zero-filled page by page,
// which costs more than the pixel work; keeping freed blocks for reuse
// avoids that. Small blocks go straight to the allocator.
class BlockPool {
 public:
  static BlockPool& shared() {
    static BlockPool* pool = new BlockPool;  // outlives every buffer, never destroyed
    return *pool;
  }

  std::shared_ptr<float[]> take(size_t floats) {
    if (floats * sizeof(float) < kSmallest) return std::shared_ptr<float[]>(new float[floats]);
    float* block = nullptr;
    size_t capacity = floats;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      // Any kept block up to twice the size will do.
      auto it = free_.lower_bound(floats);
      if (it != free_.end() && it->first <= floats * 2) {
        capacity = it->first, block = it->second;
        held_ -= capacity * sizeof(float);
        free_.erase(it);
      }
    }
    if (!block) block = new float[capacity];
    return std::shared_ptr<float[]>(block, [this, capacity](float* p) { give(p, capacity); });
  }

 private:
  static constexpr size_t kSmallest = 256 * 1024;
  static constexpr size_t kMostHeld = 256u * 1024 * 1024;

  void give(float* block, size_t capacity) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (held_ + capacity * sizeof(float) <= kMostHeld) {
        held_ += capacity * sizeof(float);
        free_.emplace(capacity, block);
        return;
      }
    }
    delete[] block;
  }

  std::mutex mutex_;
  std::multimap<size_t, float*> free_;
  size_t held_ = 0;
};

}  // namespace

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
