#include "graphics/ReducedPixels.h"

#include <vector>

#include "foundation/WorkerPool.h"

namespace gfx {
namespace {

constexpr int TileWidth = 256, TileHeight = 32;
// Below this many reduced pixels the tiles are computed on the calling thread.
constexpr qint64 ParallelPixels = 1 << 15;

// The rounded average of four premultiplied ARGB32 pixels, channel by
// channel: two channels at a time in 16-bit lanes, which hold four bytes' sum.
inline uint32_t average(uint32_t a, uint32_t b, uint32_t c, uint32_t d) {
  constexpr uint32_t Lanes = 0x00ff00ff, Half = 0x00020002;
  const uint32_t even = (a & Lanes) + (b & Lanes) + (c & Lanes) + (d & Lanes) + Half;
  const uint32_t odd =
      ((a >> 8) & Lanes) + ((b >> 8) & Lanes) + ((c >> 8) & Lanes) + ((d >> 8) & Lanes) + Half;
  return ((even >> 2) & Lanes) | (((odd >> 2) & Lanes) << 8);
}

}  // namespace

ReducedPixels::ReducedPixels(QImage source, const ReducedPixels* parent)
    : source_(std::move(source)),
      parent_(parent),
      reduced_((source_.width() + 1) / 2, (source_.height() + 1) / 2,
               QImage::Format_ARGB32_Premultiplied),
      bits_(reduced_.bits()),
      tilesAcross_((reduced_.width() + TileWidth - 1) / TileWidth),
      tilesDown_((reduced_.height() + TileHeight - 1) / TileHeight),
      computed_(std::make_unique<std::once_flag[]>(size_t(tilesAcross_) * tilesDown_)),
      done_(std::make_unique<std::atomic<bool>[]>(size_t(tilesAcross_) * tilesDown_)) {}

ReducedPixels::~ReducedPixels() = default;

void ReducedPixels::prepare(const QRect& asked) const {
  const QRect region = asked & reduced_.rect();
  if (region.isEmpty()) return;
  const int left = region.left() / TileWidth, right = region.right() / TileWidth;
  const int top = region.top() / TileHeight, bottom = region.bottom() / TileHeight;
  // Each redraw asks again for what earlier redraws made: only the tiles
  // still missing are worked on, and for none the call costs a glance.
  std::vector<int> tiles;
  for (int ty = top; ty <= bottom; ++ty)
    for (int tx = left; tx <= right; ++tx)
      if (!done_[size_t(ty * tilesAcross_ + tx)].load(std::memory_order_acquire))
        tiles.push_back(ty * tilesAcross_ + tx);
  if (tiles.empty()) return;
  // The pixels behind whole tiles must hold values first.
  if (parent_)
    parent_->prepare(QRect(left * TileWidth * 2, top * TileHeight * 2,
                           (right - left + 1) * TileWidth * 2,
                           (bottom - top + 1) * TileHeight * 2));
  auto compute = [&](int i) {
    const size_t tile = size_t(tiles[size_t(i)]);
    std::call_once(computed_[tile], [&] {
      computeTile(int(tile));
      done_[tile].store(true, std::memory_order_release);
    });
  };
  if (qint64(tiles.size()) * TileWidth * TileHeight < ParallelPixels) {
    for (int i = 0; i < int(tiles.size()); ++i) compute(i);
  } else {
    fnd::WorkerPool::parallelFor(int(tiles.size()), compute);
  }
}

void ReducedPixels::computeTile(int index) const {
  const int x0 = (index % tilesAcross_) * TileWidth, y0 = (index / tilesAcross_) * TileHeight;
  const int x1 = std::min(x0 + TileWidth, reduced_.width());
  const int y1 = std::min(y0 + TileHeight, reduced_.height());
  const int lastX = source_.width() - 1, lastY = source_.height() - 1;
  const qsizetype stride = reduced_.bytesPerLine();
  for (int y = y0; y < y1; ++y) {
    // An odd last row or column averages the pixels it has, twice over.
    const auto* upper = reinterpret_cast<const uint32_t*>(source_.constScanLine(2 * y));
    const auto* lower =
        reinterpret_cast<const uint32_t*>(source_.constScanLine(std::min(2 * y + 1, lastY)));
    auto* out = reinterpret_cast<uint32_t*>(bits_ + y * stride);
    for (int x = x0; x < x1; ++x) {
      const int left = 2 * x, right = std::min(2 * x + 1, lastX);
      out[x] = average(upper[left], upper[right], lower[left], lower[right]);
    }
  }
}

const ReducedPixels& ReducedPixels::half() const {
  std::lock_guard lock(halfMutex_);
  if (!half_) half_ = std::make_unique<ReducedPixels>(reduced_, this);
  return *half_;
}

}  // namespace gfx
