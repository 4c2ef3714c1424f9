#include "graphics/PixelBufferPool.h"

#include <list>
#include <mutex>
#include <new>

namespace gfx {
namespace {

constexpr std::align_val_t Alignment{64};

struct Buffer {
  uchar* bytes;
  size_t size;
};

struct Pool {
  std::mutex mutex;
  std::list<Buffer> idle;  // most recently returned first
  size_t idleBytes = 0;

  uchar* take(size_t size) {
    {
      std::lock_guard lock(mutex);
      for (auto it = idle.begin(); it != idle.end(); ++it) {
        if (it->size != size) continue;
        uchar* bytes = it->bytes;
        idleBytes -= size;
        idle.erase(it);
        return bytes;
      }
    }
    return static_cast<uchar*>(::operator new(size, Alignment, std::nothrow));
  }

  void give(uchar* bytes, size_t size) {
    std::list<Buffer> evicted;
    {
      std::lock_guard lock(mutex);
      idle.push_front({bytes, size});
      idleBytes += size;
      while (idleBytes > PixelBufferPool::CapBytes && !idle.empty()) {
        idleBytes -= idle.back().size;
        evicted.splice(evicted.end(), idle, std::prev(idle.end()));
      }
    }
    for (const Buffer& buffer : evicted) ::operator delete(buffer.bytes, Alignment);
  }
};

Pool& pool() {
  // Never destroyed: images may return buffers during static destruction.
  static Pool* shared = new Pool;
  return *shared;
}

struct Lease {
  uchar* bytes;
  size_t size;
};

void giveBack(void* info) {
  auto* lease = static_cast<Lease*>(info);
  pool().give(lease->bytes, lease->size);
  delete lease;
}

}  // namespace

QImage PixelBufferPool::image(int width, int height, QImage::Format format) {
  if (width <= 0 || height <= 0) return {};
  const int depth = int(QImage::toPixelFormat(format).bitsPerPixel());
  if (depth <= 0) return {};
  // Rows padded to 32 bits, as QImage lays out its own.
  const qsizetype stride = ((qsizetype(width) * depth + 31) / 32) * 4;
  const size_t size = size_t(stride) * size_t(height);
  uchar* bytes = pool().take(size);
  if (!bytes) return {};
  auto* lease = new Lease{bytes, size};
  QImage image(bytes, width, height, stride, format, giveBack, lease);
  if (image.isNull()) giveBack(lease);
  return image;
}

size_t PixelBufferPool::idleBytes() {
  std::lock_guard lock(pool().mutex);
  return pool().idleBytes;
}

void PixelBufferPool::releaseIdle() {
  std::list<Buffer> released;
  {
    std::lock_guard lock(pool().mutex);
    released.swap(pool().idle);
    pool().idleBytes = 0;
  }
  for (const Buffer& buffer : released) ::operator delete(buffer.bytes, Alignment);
}

}  // namespace gfx
