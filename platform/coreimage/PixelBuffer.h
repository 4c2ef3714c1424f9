// A working buffer of the render engine: premultiplied RGBA floats over an
// integer region, rows bottom-up (row y is the pixels with y <= Y < y+1).
// Values are encoded components as found in the sources; the engine does no
// colour management. A buffer may be a view into another one's storage.
#pragma once

#include <cstddef>
#include <memory>

#include "coreimage/Rect.h"

namespace ci {

class PixelBuffer {
 public:
  PixelBuffer() = default;
  // Allocates without clearing: every renderer writes each pixel it owns.
  explicit PixelBuffer(const IRect& rect);
  static PixelBuffer zeroed(const IRect& rect);

  const IRect& rect() const { return rect_; }
  bool isNull() const { return data_ == nullptr; }
  // Distance between rows, in floats.
  size_t stride() const { return stride_; }

  float* row(int y) { return data_ + size_t(y - rect_.y) * stride_; }
  const float* row(int y) const { return data_ + size_t(y - rect_.y) * stride_; }
  float* pixel(int x, int y) { return row(y) + size_t(x - rect_.x) * 4; }
  const float* pixel(int x, int y) const { return row(y) + size_t(x - rect_.x) * 4; }

  // A buffer sharing these pixels over `sub` (which must lie inside rect()).
  PixelBuffer view(const IRect& sub) const;

  void fill(float r, float g, float b, float a);
  void clear() { fill(0, 0, 0, 0); }
  // Clears every pixel outside `keep`.
  void clearOutside(const IRect& keep);
  // Copies the overlap of `source` into this buffer.
  void copyFrom(const PixelBuffer& source);
  // The same pixels under another origin (same width and height).
  PixelBuffer relabeled(int x, int y) const;
  // A deep copy with its own storage.
  PixelBuffer clone() const;

 private:
  IRect rect_;
  size_t stride_ = 0;
  float* data_ = nullptr;
  std::shared_ptr<float[]> storage_;
};

// Storage of at least `floats` floats from the engine's pool of recycled
// blocks (large blocks freed by buffers and rendered images are kept for
// reuse, sparing the kernel's page-by-page zero filling of fresh memory).
std::shared_ptr<float[]> recycledBlock(size_t floats);

}  // namespace ci
