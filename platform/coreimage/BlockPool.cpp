#include "coreimage/BlockPool.h"

namespace ci {

BlockPool& BlockPool::shared() {
  static BlockPool* pool = new BlockPool;  // outlives every buffer, never destroyed
  return *pool;
}

size_t BlockPool::heldBytes() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return held_;
}

void BlockPool::releaseKept() {
  Age released;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    released.swap(age_);
    bySize_.clear();
    held_ = 0;
  }
  for (const Kept& kept : released) delete[] kept.block;
}

std::shared_ptr<float[]> BlockPool::take(size_t floats) {
  if (floats * sizeof(float) < kSmallest) return std::shared_ptr<float[]>(new float[floats]);
  float* block = nullptr;
  size_t capacity = floats;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = bySize_.lower_bound(floats);
    if (it != bySize_.end() && it->first <= floats * 2) {
      capacity = it->first, block = it->second->block;
      held_ -= capacity * sizeof(float);
      age_.erase(it->second);
      bySize_.erase(it);
    }
  }
  if (!block) block = new float[capacity];
  return std::shared_ptr<float[]>(block, [this, capacity](float* p) { give(p, capacity); });
}

void BlockPool::give(float* block, size_t capacity) {
  const size_t bytes = capacity * sizeof(float);
  if (bytes > kMostHeld) {
    delete[] block;
    return;
  }
  Age evicted;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    while (held_ + bytes > kMostHeld && !age_.empty()) {
      const Kept oldest = age_.front();
      auto range = bySize_.equal_range(oldest.capacity);
      for (auto it = range.first; it != range.second; ++it)
        if (it->second == age_.begin()) {
          bySize_.erase(it);
          break;
        }
      held_ -= oldest.capacity * sizeof(float);
      evicted.splice(evicted.end(), age_, age_.begin());
    }
    age_.push_back({capacity, block});
    bySize_.emplace(capacity, std::prev(age_.end()));
    held_ += bytes;
  }
  // Returned to the system outside the lock.
  for (const Kept& kept : evicted) delete[] kept.block;
}

}  // namespace ci
