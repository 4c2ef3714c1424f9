#include "coreimage/AccumulatorStore.h"

#include <algorithm>
#include <cstring>
#include <mutex>

#include "coreimage/CompositeNode.h"
#include "coreimage/WorkerPool.h"
#include "graphics/CompositingOperation.h"

namespace ci {

namespace {

class SnapshotNode : public ImageNode {
 public:
  SnapshotNode(std::shared_ptr<AccumulatorStore> store, const IRect& bounds, uint64_t generation)
      : ImageNode(bounds.toRectF()), store_(std::move(store)), generation_(generation) {}
  ~SnapshotNode() override { store_->release(generation_); }

  void render(PixelBuffer& out) const override { store_->read(out, generation_); }
  // The canvas redraws each dab's square from here: no float copy between.
  bool renderBytes(const IRect& rect, Format format, uchar* topRow,
                   ptrdiff_t rowBytes) const override {
    return store_->readBytes(rect, generation_, format, topRow, rowBytes);
  }
  const AccumulatorStore* store() const { return store_.get(); }
  uint64_t generation() const { return generation_; }

 private:
  std::shared_ptr<AccumulatorStore> store_;
  uint64_t generation_;
};

}  // namespace

AccumulatorStore::AccumulatorStore(const IRect& bounds, int tileSize)
    : bounds_(bounds),
      tileSize_(tileSize),
      columns_((bounds.w + tileSize - 1) / tileSize),
      rows_((bounds.h + tileSize - 1) / tileSize),
      tiles_(size_t(columns_) * size_t(rows_)) {}

Image AccumulatorStore::snapshot() {
  std::unique_lock lock(mutex_);
  snapshots_.insert(generation_);
  return Image(std::make_shared<SnapshotNode>(shared_from_this(), bounds_, generation_));
}

bool AccumulatorStore::hasSnapshots() const {
  std::shared_lock lock(mutex_);
  return !snapshots_.empty();
}

bool AccumulatorStore::isCurrentSnapshot(const ImageNode& node) const {
  const auto* snapshot = dynamic_cast<const SnapshotNode*>(&node);
  if (!snapshot || snapshot->store() != this) return false;
  std::shared_lock lock(mutex_);
  return snapshot->generation() == generation_;
}

void AccumulatorStore::release(uint64_t generation) {
  std::unique_lock lock(mutex_);
  snapshots_.erase(snapshots_.find(generation));
  // A patch matters to snapshots taken before its write only.
  const uint64_t oldest = snapshots_.empty() ? UINT64_MAX : *snapshots_.begin();
  if (pending_ && oldest >= pending_->generation) settle();
  size_t kept = 0;
  for (Patch& patch : patches_) {
    if (patch.generation <= oldest) {
      patchBytes_ -= size_t(patch.before.rect().area()) * 16;
      continue;
    }
    patches_[kept++] = std::move(patch);
  }
  patches_.resize(kept);
}

void AccumulatorStore::copyTiles(PixelBuffer& out) const {
  const IRect& r = out.rect();
  const int c0 = (r.x - bounds_.x) / tileSize_, c1 = (r.right() - 1 - bounds_.x) / tileSize_;
  const int r0 = (r.y - bounds_.y) / tileSize_, r1 = (r.top() - 1 - bounds_.y) / tileSize_;
  for (int row = r0; row <= r1; ++row)
    for (int column = c0; column <= c1; ++column) {
      const PixelBuffer& tile = tiles_[size_t(row * columns_ + column)];
      PixelBuffer part = out.view(r.intersected(
          {bounds_.x + column * tileSize_, bounds_.y + row * tileSize_, tileSize_, tileSize_}));
      if (tile.isNull())
        part.clear();
      else
        part.copyFrom(tile);
    }
}

void AccumulatorStore::read(PixelBuffer& out, uint64_t generation) const {
  std::shared_lock lock(mutex_);
  copyTiles(out);
  // Every patch is older than a pending stamp.
  if (pending_ && generation >= pending_->generation) {
    compositeOver(pending_->pixels, out);
    return;
  }
  for (auto it = patches_.rbegin(); it != patches_.rend() && it->generation > generation; ++it)
    out.copyFrom(it->before);
}

bool AccumulatorStore::readBytes(const IRect& rect, uint64_t generation, Format format,
                                 uchar* topRow, ptrdiff_t rowBytes) const {
  std::shared_lock lock(mutex_);
  if (!bounds_.contains(rect)) return false;
  for (auto it = patches_.rbegin(); it != patches_.rend() && it->generation > generation; ++it)
    if (!it->before.rect().intersected(rect).isEmpty()) return false;
  if (pending_ && generation >= pending_->generation &&
      !pending_->pixels.rect().intersected(rect).isEmpty())
    return false;
  const size_t pixelBytes = bytesPerPixel(format);
  WorkerPool::parallelBands(rect.h, bandRows(rect.w), [&](int begin, int end) {
    for (int y = rect.y + begin; y < rect.y + end; ++y) {
      uchar* out = topRow + ptrdiff_t(rect.top() - 1 - y) * rowBytes;
      const size_t tileRow = size_t((y - bounds_.y) / tileSize_) * size_t(columns_);
      for (int x = rect.x; x < rect.right();) {
        const int column = (x - bounds_.x) / tileSize_;
        const int next = std::min(rect.right(), bounds_.x + (column + 1) * tileSize_);
        const PixelBuffer& tile = tiles_[tileRow + size_t(column)];
        uchar* at = out + size_t(x - rect.x) * pixelBytes;
        // Transparent is all zero bits in every format.
        if (tile.isNull())
          std::memset(at, 0, size_t(next - x) * pixelBytes);
        else
          storeRow(tile.pixel(x, y), format, at, next - x);
        x = next;
      }
    }
  });
  return true;
}

PixelBuffer& AccumulatorStore::tileAt(int column, int row, const IRect& written) {
  PixelBuffer& tile = tiles_[size_t(row * columns_ + column)];
  if (tile.isNull()) {
    // Only the part the write does not cover starts out transparent.
    tile = PixelBuffer(bounds_.intersected(
        {bounds_.x + column * tileSize_, bounds_.y + row * tileSize_, tileSize_, tileSize_}));
    tile.clearOutside(written);
  }
  return tile;
}

bool AccumulatorStore::keepPatch(const IRect& r, uint64_t generation) {
  const size_t bytes = size_t(r.area()) * 16;
  if (patchBytes_ + bytes > kMostPatchBytes) return false;
  Patch patch{generation, PixelBuffer(r)};
  copyTiles(patch.before);
  patches_.push_back(std::move(patch));
  patchBytes_ += bytes;
  return true;
}

bool AccumulatorStore::beginChange(const IRect& r) {
  if (!settle()) return false;
  if (!snapshots_.empty() && !keepPatch(r, generation_ + 1)) return false;
  ++generation_;
  return true;
}

bool AccumulatorStore::settle() {
  if (!pending_) return true;
  const PixelBuffer& pixels = pending_->pixels;
  if (!snapshots_.empty() && *snapshots_.begin() < pending_->generation &&
      !keepPatch(pixels.rect(), pending_->generation))
    return false;
  compositeTiles(pixels);
  pending_.reset();
  return true;
}

void AccumulatorStore::compositeOver(const PixelBuffer& pixels, PixelBuffer& out) {
  const IRect part = out.rect().intersected(pixels.rect());
  for (int y = part.y; y < part.top(); ++y)
    CompositeNode::compositeRow(int(gfx::CompositingOperation::SourceOver), pixels.pixel(part.x, y),
                                out.pixel(part.x, y), part.w);
}

void AccumulatorStore::compositeTiles(const PixelBuffer& pixels) {
  forEachTile(pixels.rect(), [&](PixelBuffer& tile, bool made) {
    // Over transparent pixels, source-over gives the source itself.
    if (made)
      tile.copyFrom(pixels);
    else
      compositeOver(pixels, tile);
  });
}

void AccumulatorStore::forEachTile(const IRect& r,
                                   const std::function<void(PixelBuffer&, bool)>& body) {
  const int c0 = (r.x - bounds_.x) / tileSize_, c1 = (r.right() - 1 - bounds_.x) / tileSize_;
  const int r0 = (r.y - bounds_.y) / tileSize_, r1 = (r.top() - 1 - bounds_.y) / tileSize_;
  const int columns = c1 - c0 + 1, count = columns * (r1 - r0 + 1);
  // Each tile is its own slot, so tiles can be made and written side by side.
  const auto one = [&](int i) {
    const int column = c0 + i % columns, row = r0 + i / columns;
    const bool made = tiles_[size_t(row * columns_ + column)].isNull();
    body(tileAt(column, row, r), made);
  };
  if (r.area() < kParallelPixels) {
    for (int i = 0; i < count; ++i) one(i);
    return;
  }
  WorkerPool::parallelFor(count, one);
}

bool AccumulatorStore::write(const PixelBuffer& pixels) {
  std::unique_lock lock(mutex_);
  if (!beginChange(pixels.rect())) return false;
  forEachTile(pixels.rect(), [&](PixelBuffer& tile, bool) { tile.copyFrom(pixels); });
  return true;
}

bool AccumulatorStore::stampOver(const PixelBuffer& pixels) {
  std::unique_lock lock(mutex_);
  if (!settle()) return false;
  ++generation_;
  // The snapshot a brush composites its dab over usually goes right after
  // the stamp: the stamp waits for that, and then needs no patch.
  if (!snapshots_.empty())
    pending_ = Pending{generation_, pixels};
  else
    compositeTiles(pixels);
  return true;
}

// Clearing a fresh tile costs more than compositing a dab onto it, and
// each tile is its own slot: they are made side by side.
void AccumulatorStore::makeTiles(const std::vector<Dab>& dabs) {
  std::vector<int> missing;
  for (const Dab& dab : dabs) {
    if (dab.rect.isEmpty()) continue;
    const IRect& r = dab.rect;
    const int c0 = (r.x - bounds_.x) / tileSize_, c1 = (r.right() - 1 - bounds_.x) / tileSize_;
    const int r0 = (r.y - bounds_.y) / tileSize_, r1 = (r.top() - 1 - bounds_.y) / tileSize_;
    for (int row = r0; row <= r1; ++row)
      for (int column = c0; column <= c1; ++column) {
        const int i = row * columns_ + column;
        if (tiles_[size_t(i)].isNull() &&
            std::find(missing.begin(), missing.end(), i) == missing.end())
          missing.push_back(i);
      }
  }
  WorkerPool::parallelFor(int(missing.size()), [&](int k) {
    const int i = missing[size_t(k)];
    tileAt(i % columns_, i / columns_, IRect());
  });
}

void AccumulatorStore::stampRows(const Dab& dab, const IRect& band,
                                 const ImageNode::RowWriter& rows, std::vector<float>& row) {
  const IRect part = dab.rect.intersected(band);
  if (part.isEmpty()) return;
  // Rows are written a few at a time, about 16 KB, and then composited in
  // one run: the run streams through the tiles as compositing a rendered
  // dab does, where a row written between each two would stall on every
  // tile row it reads. Aligned as a buffer's rows are.
  constexpr size_t kLineFloats = 16, kBatchFloats = 4096;
  const size_t width = size_t(part.w) * 4;
  const int batch = int(std::max<size_t>(1, kBatchFloats / width));
  row.resize(width * size_t(batch) + kLineFloats);
  const size_t misaligned = reinterpret_cast<uintptr_t>(row.data()) % (kLineFloats * sizeof(float));
  float* const pixels = row.data() + (misaligned ? kLineFloats - misaligned / sizeof(float) : 0);
  const int c0 = (part.x - bounds_.x) / tileSize_, c1 = (part.right() - 1 - bounds_.x) / tileSize_;
  for (int first = part.y; first < part.top(); first += batch) {
    const int last = std::min(part.top(), first + batch);
    for (int y = first; y < last; ++y) rows(part.x, y, part.w, pixels + width * size_t(y - first));
    for (int y = first; y < last; ++y) {
      const float* source = pixels + width * size_t(y - first);
      const size_t tileRow = size_t((y - bounds_.y) / tileSize_) * size_t(columns_);
      for (int column = c0; column <= c1; ++column) {
        const int x0 = std::max(part.x, bounds_.x + column * tileSize_);
        const int x1 = std::min(part.right(), bounds_.x + (column + 1) * tileSize_);
        CompositeNode::compositeRow(int(gfx::CompositingOperation::SourceOver),
                                    source + size_t(x0 - part.x) * 4,
                                    tiles_[tileRow + size_t(column)].pixel(x0, y), x1 - x0);
      }
    }
  }
}

bool AccumulatorStore::stampEachOver(const std::vector<Dab>& dabs) {
  IRect covered;
  long long pixels = 0;
  for (const Dab& dab : dabs) {
    if (dab.rect.isEmpty()) continue;
    covered = covered.isEmpty() ? dab.rect : covered.united(dab.rect);
    pixels += dab.rect.area();
  }
  if (covered.isEmpty()) return true;
  std::unique_lock lock(mutex_);
  if (!beginChange(covered)) return false;
  // Made first: the bands then only change pixels.
  // Source-over onto a transparent tile gives the dab itself, as when a
  // single stamp makes the tile.
  makeTiles(dabs);
  // A brush's usual step stays on the calling thread: waking the pool and
  // reading the tiles back from other cores' caches cost more than it saves.
  const long long perRow = std::max(1LL, pixels / covered.h);
  const int grain =
      pixels < kParallelStampPixels ? covered.h : int(std::max(1LL, kBandPixels / perRow));
  const bool oneBand = grain >= covered.h;
  WorkerPool::parallelBands(covered.h, grain, [&](int begin, int end) {
    const IRect band{covered.x, covered.y + begin, covered.w, end - begin};
    std::vector<float> row;
    for (const Dab& dab : dabs) {
      if (dab.rect.intersected(band).isEmpty()) continue;
      if (dab.node && oneBand) {
        stampRows(dab, band, dab.rows, row);
        continue;
      }
      // The dab's writer serves the calling thread; other threads make their own.
      if (dab.node) {
        stampRows(dab, band, ImageNode::rowWriterInto(*dab.node), row);
        continue;
      }
      const PixelBuffer rows = dab.pixels.view(band);
      forEachTile(rows.rect(), [&](PixelBuffer& tile, bool) { compositeOver(rows, tile); });
    }
  });
  return true;
}

std::shared_ptr<AccumulatorStore> AccumulatorStore::copy() const {
  std::shared_lock lock(mutex_);
  auto copy = std::make_shared<AccumulatorStore>(bounds_, tileSize_);
  for (size_t i = 0; i < tiles_.size(); ++i)
    if (!tiles_[i].isNull()) copy->tiles_[i] = tiles_[i].clone();
  if (pending_) copy->compositeTiles(pending_->pixels);
  return copy;
}

}  // namespace ci
