#include "graphics/LargeImageBuffer.h"

#include <sys/mman.h>

#include <QColorSpace>
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "foundation/WorkerPool.h"

namespace gfx {

namespace {

void releaseBuffer(void* bytes) { std::free(bytes); }

// Aligned to and rounded up to whole huge pages, so that every page of it
// can be one; a system without them still gives ordinary pages.
uchar* hugePageBuffer(size_t size) {
  const size_t rounded =
      (size + LargeImageBuffer::HugePageBytes - 1) & ~(LargeImageBuffer::HugePageBytes - 1);
  void* bytes = std::aligned_alloc(LargeImageBuffer::HugePageBytes, rounded);
  if (bytes) madvise(bytes, rounded, MADV_HUGEPAGE);
  return static_cast<uchar*>(bytes);
}

// The kernel zeroes each fresh page as it faults in, which costs more than
// the copy: spread over the workers, the pages fault in side by side.
void copyInPages(uchar* to, const uchar* from, size_t size) {
  const size_t chunk = LargeImageBuffer::HugePageBytes;
  const int chunks = int((size + chunk - 1) / chunk);
  fnd::WorkerPool::parallelBands(chunks, 1, [&](int begin, int end) {
    const size_t offset = size_t(begin) * chunk;
    std::memcpy(to + offset, from + offset, std::min(size, size_t(end) * chunk) - offset);
  });
}

}  // namespace

QImage LargeImageBuffer::copyOf(const QImage& source) {
  if (source.isNull()) return {};
  const size_t size = size_t(source.sizeInBytes());
  if (size < LeastBytes) return source.copy();
  uchar* bytes = hugePageBuffer(size);
  if (!bytes) return source.copy();
  copyInPages(bytes, source.constBits(), size);
  QImage copy(bytes, source.width(), source.height(), source.bytesPerLine(), source.format(),
              releaseBuffer, bytes);
  if (copy.isNull()) {
    std::free(bytes);
    return {};
  }
  copy.setDevicePixelRatio(source.devicePixelRatio());
  copy.setDotsPerMeterX(source.dotsPerMeterX());
  copy.setDotsPerMeterY(source.dotsPerMeterY());
  copy.setOffset(source.offset());
  copy.setColorSpace(source.colorSpace());
  for (const QString& key : source.textKeys()) copy.setText(key, source.text(key));
  return copy;
}

}  // namespace gfx
