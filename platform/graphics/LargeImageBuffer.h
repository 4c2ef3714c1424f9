// Memory for whole-layer bitmaps. Every 4 KB page of fresh memory faults in
// on first touch, and for a 48 MB layer the faults cost several times the
// copy itself; a large buffer is therefore asked of the kernel in 2 MB
// pages (transparent huge pages, where the system offers them on request).
#pragma once

#include <QImage>
#include <cstddef>

namespace gfx {

class LargeImageBuffer {
 public:
  // From this size on a buffer is laid out for huge pages.
  static constexpr size_t HugePageBytes = size_t(2) << 20;
  static constexpr size_t LeastBytes = 2 * HugePageBytes;

  // A copy of `source` that owns its pixels, in huge pages when large.
  // Null when `source` is null or the memory cannot be had.
  static QImage copyOf(const QImage& source);
};

}  // namespace gfx
