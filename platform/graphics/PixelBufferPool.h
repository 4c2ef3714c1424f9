// Reused memory for offscreen bitmaps. The first use of fresh memory costs
// far more than drawing into it (every page faults in), so buffers of
// finished bitmaps wait here for the next bitmap of the same size; the
// least recently returned go first once the pool holds more than its cap.
#pragma once

#include <QImage>
#include <cstddef>

namespace gfx {

class PixelBufferPool {
 public:
  // A QImage of `format` over a pooled buffer; its memory returns to the
  // pool when the last copy of the image goes. The pixels are not cleared.
  // Null when the memory cannot be had.
  static QImage image(int width, int height, QImage::Format format);

  // How many bytes are waiting for reuse, and the most the pool keeps.
  static size_t idleBytes();
  // Returns every waiting buffer to the system: the next bitmaps get fresh
  // memory, as in a program that has drawn nothing yet.
  static void releaseIdle();
  static constexpr size_t CapBytes = size_t(384) << 20;
};

}  // namespace gfx
