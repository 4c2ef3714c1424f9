// The render engine's pool of recycled memory blocks, behind every pixel
// buffer and rendered image. Fresh memory comes from the kernel zero-filled
// page by page on first touch, which costs far more than the pixel work on
// it (a new 48 MB block about 40 times the time of copying one); freed
// blocks are kept for the next request of about their size instead. The
// pool holds a bounded number of bytes and lets the longest unused blocks
// go first when a newly freed one needs the room.
#pragma once

#include <cstddef>
#include <list>
#include <map>
#include <memory>
#include <mutex>

namespace ci {

class BlockPool {
 public:
  static BlockPool& shared();

  // At least `floats` floats, from a kept block up to twice that size when
  // there is one; the block returns to the pool when the last owner lets go.
  std::shared_ptr<float[]> take(size_t floats);
  size_t heldBytes() const;
  // Returns every kept block to the system: the next requests get fresh
  // memory, as a program that has not rendered yet does.
  void releaseKept();

  // Blocks below this size come straight from the allocator.
  static constexpr size_t kSmallest = 64 * 1024;
  static constexpr size_t kMostHeld = 256u * 1024 * 1024;

 private:
  struct Kept {
    size_t capacity;  // floats
    float* block;
  };
  using Age = std::list<Kept>;  // least recently freed first

  void give(float* block, size_t capacity);

  mutable std::mutex mutex_;
  Age age_;
  std::multimap<size_t, Age::iterator> bySize_;
  size_t held_ = 0;
};

}  // namespace ci
