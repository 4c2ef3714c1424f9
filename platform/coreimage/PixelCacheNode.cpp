#include "coreimage/PixelCacheNode.h"

#include <cstring>
#include <mutex>

#include "coreimage/Context.h"
#include "coreimage/PixelFormat.h"
#include "coreimage/WorkerPool.h"

namespace ci {

namespace {

// One row of RGBA bytes in another 8-bit layout.
void convertRow(const uchar* rgba, Format format, uchar* out, int count) {
  if (format == kCIFormatRGBA8) {
    std::memcpy(out, rgba, size_t(count) * 4);
    return;
  }
  const bool argb = format == kCIFormatARGB8;
  for (int i = 0; i < count; ++i, rgba += 4, out += 4) {
    if (argb) {
      out[0] = rgba[3], out[1] = rgba[0], out[2] = rgba[1], out[3] = rgba[2];
    } else {
      out[0] = rgba[2], out[1] = rgba[1], out[2] = rgba[0], out[3] = rgba[3];
    }
  }
}

}  // namespace

PixelCacheNode::PixelCacheNode(Image input)
    : ImageNode(input.extent()), input_(std::move(input)), bounds_(IRect::covering(extent())) {
  cellColumns_ = (bounds_.w + kCell - 1) / kCell;
  cellRows_ = (bounds_.h + kCell - 1) / kCell;
  blockColumns_ = (bounds_.w + kBlock - 1) / kBlock;
  held_.assign(size_t(cellColumns_) * size_t(cellRows_), false);
  blocks_.resize(size_t(blockColumns_) * size_t((bounds_.h + kBlock - 1) / kBlock));
}

bool PixelCacheNode::holds(const IRect& rect) const {
  const int c0 = (rect.x - bounds_.x) / kCell, c1 = (rect.right() - 1 - bounds_.x) / kCell;
  const int r0 = (rect.y - bounds_.y) / kCell, r1 = (rect.top() - 1 - bounds_.y) / kCell;
  for (int row = r0; row <= r1; ++row)
    for (int column = c0; column <= c1; ++column)
      if (!held_[size_t(row * cellColumns_ + column)]) return false;
  return true;
}

void PixelCacheNode::prepare(const IRect& region) const {
  const IRect r = region.intersected(bounds_);
  if (r.isEmpty()) return;
  // The squares still missing, as one rectangle of whole squares.
  IRect missing;
  {
    std::shared_lock lock(mutex_);
    const int c0 = (r.x - bounds_.x) / kCell, c1 = (r.right() - 1 - bounds_.x) / kCell;
    const int r0 = (r.y - bounds_.y) / kCell, r1 = (r.top() - 1 - bounds_.y) / kCell;
    for (int row = r0; row <= r1; ++row)
      for (int column = c0; column <= c1; ++column) {
        if (held_[size_t(row * cellColumns_ + column)]) continue;
        const IRect cell{bounds_.x + column * kCell, bounds_.y + row * kCell, kCell, kCell};
        missing = missing.isEmpty() ? cell : missing.united(cell);
      }
  }
  missing = missing.intersected(bounds_);
  if (missing.isEmpty()) return;
  const ptrdiff_t rowBytes = ptrdiff_t(missing.w) * 4;
  const std::shared_ptr<float[]> staging = recycledBlock(size_t(missing.area()));
  auto* bytes = reinterpret_cast<uchar*>(staging.get());
  if (!Context().render(input_, bytes, rowBytes, missing.toRectF(), kCIFormatRGBA8)) return;
  store(missing, bytes, rowBytes);
}

void PixelCacheNode::store(const IRect& rect, const uchar* topRow, ptrdiff_t rowBytes) const {
  std::unique_lock lock(mutex_);
  const int bx0 = (rect.x - bounds_.x) / kBlock, bx1 = (rect.right() - 1 - bounds_.x) / kBlock;
  const int by0 = (rect.y - bounds_.y) / kBlock, by1 = (rect.top() - 1 - bounds_.y) / kBlock;
  for (int by = by0; by <= by1; ++by)
    for (int bx = bx0; bx <= bx1; ++bx) {
      auto& block = blocks_[size_t(by * blockColumns_ + bx)];
      if (!block) block = recycledBlock(size_t(kBlock) * kBlock);  // a float per RGBA pixel
    }
  WorkerPool::parallelBands(rect.h, bandRows(rect.w), [&](int begin, int end) {
    for (int y = rect.y + begin; y < rect.y + end; ++y) {
      const uchar* source = topRow + ptrdiff_t(rect.top() - 1 - y) * rowBytes;
      const int by = (y - bounds_.y) / kBlock, yIn = (y - bounds_.y) % kBlock;
      for (int x = rect.x; x < rect.right();) {
        const int bx = (x - bounds_.x) / kBlock, xIn = (x - bounds_.x) % kBlock;
        const int count = std::min(kBlock - xIn, rect.right() - x);
        uchar* target = reinterpret_cast<uchar*>(blocks_[size_t(by * blockColumns_ + bx)].get()) +
                        (size_t(yIn) * kBlock + xIn) * 4;
        std::memcpy(target, source + ptrdiff_t(x - rect.x) * 4, size_t(count) * 4);
        x += count;
      }
    }
  });
  // Stores come in whole squares, except at the extent's own edge.
  const int c0 = (rect.x - bounds_.x) / kCell, c1 = (rect.right() - 1 - bounds_.x) / kCell;
  const int r0 = (rect.y - bounds_.y) / kCell, r1 = (rect.top() - 1 - bounds_.y) / kCell;
  for (int row = r0; row <= r1; ++row)
    for (int column = c0; column <= c1; ++column) held_[size_t(row * cellColumns_ + column)] = true;
}

// Spread over the threads: a view's worth of rows is megabytes of copying.
void PixelCacheNode::copyOut(const IRect& rect, Format format, uchar* topRow,
                             ptrdiff_t rowBytes) const {
  WorkerPool::parallelBands(rect.h, bandRows(rect.w), [&](int begin, int end) {
    copyRows(rect, rect.y + begin, rect.y + end, format, topRow, rowBytes);
  });
}

void PixelCacheNode::copyRows(const IRect& rect, int firstY, int endY, Format format, uchar* topRow,
                              ptrdiff_t rowBytes) const {
  for (int y = firstY; y < endY; ++y) {
    uchar* target = topRow + ptrdiff_t(rect.top() - 1 - y) * rowBytes;
    const int by = (y - bounds_.y) / kBlock, yIn = (y - bounds_.y) % kBlock;
    for (int x = rect.x; x < rect.right();) {
      const int bx = (x - bounds_.x) / kBlock, xIn = (x - bounds_.x) % kBlock;
      const int count = std::min(kBlock - xIn, rect.right() - x);
      const auto& block = blocks_[size_t(by * blockColumns_ + bx)];
      const uchar* source =
          reinterpret_cast<const uchar*>(block.get()) + (size_t(yIn) * kBlock + xIn) * 4;
      uchar* out = target + ptrdiff_t(x - rect.x) * ptrdiff_t(bytesPerPixel(format));
      if (format == kCIFormatRGBAf)
        loadRow(source, kCIFormatRGBA8, reinterpret_cast<float*>(out), count);
      else
        convertRow(source, format, out, count);
      x += count;
    }
  }
}

bool PixelCacheNode::renderBytes(const IRect& rect, Format format, uchar* topRow,
                                 ptrdiff_t rowBytes) const {
  if (!bounds_.contains(rect)) return false;
  for (int attempt = 0; attempt < 2; ++attempt) {
    {
      std::shared_lock lock(mutex_);
      if (holds(rect)) {
        copyOut(rect, format, topRow, rowBytes);
        return true;
      }
    }
    prepare(rect);
  }
  return false;
}

void PixelCacheNode::render(PixelBuffer& out) const {
  const IRect& r = out.rect();
  if (renderBytes(r, kCIFormatRGBAf, reinterpret_cast<uchar*>(out.row(r.top() - 1)),
                  -ptrdiff_t(out.stride() * sizeof(float))))
    return;
  renderInto(*input_.node(), out);
}

}  // namespace ci
