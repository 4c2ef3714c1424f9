// The pixels of an image accumulator and the snapshots taken of them. The
// tiles always hold the newest pixels; a write made while snapshots live
// first keeps what it overwrites, as a patch, and a snapshot reads the
// tiles with the patches written after it put back on top, newest first.
// Patches go as soon as no live snapshot is older than them. The newest
// source-over stamp may wait outside the tiles, composited over what is
// read, until no snapshot older than it lives: it then goes into the tiles
// without a patch.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <shared_mutex>
#include <vector>

#include "coreimage/Image.h"

namespace ci {

class AccumulatorStore : public std::enable_shared_from_this<AccumulatorStore> {
 public:
  AccumulatorStore(const IRect& bounds, int tileSize);

  // The pixels as they are now, for as long as the image lives.
  Image snapshot();
  bool hasSnapshots() const;
  // Copies `pixels` (which lie inside the bounds) into the tiles. Returns
  // false, changing nothing, when the pixels it would have to keep for
  // live snapshots pass the budget; the caller then writes to a copy().
  bool write(const PixelBuffer& pixels);
  // Composites `pixels` source-over onto the tiles in place, under the same
  // terms as write(): a brush dab stamped without copying the square out
  // and back. The store keeps `pixels` (shared, not copied) while the
  // stamp waits; the caller leaves them unchanged.
  bool stampOver(const PixelBuffer& pixels);
  // A dab over `rect`: its rendered pixels, or for a dab whose pixels
  // depend on their position alone, the node that writes them a row at a
  // time (ImageNode::rowWriterInto), which gives the same pixels without a
  // buffer of the whole square written and read back.
  struct Dab {
    IRect rect;
    PixelBuffer pixels;
    const ImageNode* node = nullptr;
    ImageNode::RowWriter rows;  // the node's, for the calling thread
  };
  // Composites each of `dabs` (which lie inside the bounds) source-over
  // onto the tiles in turn, under the same terms as write(). Their rows are
  // spread over the worker pool, each band applying every dab in order, so
  // the pixels are those of one stampOver() after another.
  bool stampEachOver(const std::vector<Dab>& dabs);
  // A store of the same pixels with no snapshots of its own.
  std::shared_ptr<AccumulatorStore> copy() const;

  // For the snapshots: `out` as it was at `generation`, and their end.
  void read(PixelBuffer& out, uint64_t generation) const;
  // The same written straight from the tiles as `format` pixels, top row
  // first, as ImageNode::renderBytes; false, writing nothing, when a patch
  // covers part of `rect` (the caller then renders through read()).
  bool readBytes(const IRect& rect, uint64_t generation, Format format, uchar* topRow,
                 ptrdiff_t rowBytes) const;
  void release(uint64_t generation);
  // Whether `node` is a snapshot of this store that shows its pixels as
  // they are now.
  bool isCurrentSnapshot(const ImageNode& node) const;

 private:
  struct Patch {
    uint64_t generation;  // the write that overwrote these pixels
    PixelBuffer before;
  };
  struct Pending {
    uint64_t generation;  // the stamp's
    PixelBuffer pixels;
  };
  // Kept pixels beyond this go to a copy of the store instead: a snapshot
  // held through a long stroke would otherwise keep every dab twice.
  static constexpr size_t kMostPatchBytes = size_t(64) << 20;
  // Changes smaller than this (a dab) stay on the calling thread: waking
  // the pool would cost more than the copy.
  static constexpr long long kParallelPixels = 1 << 18;
  // stampEachOver() spreads its rows over the pool from this many dab
  // pixels on (fifteen dabs 260 pixels across), with bands of at least
  // kBandPixels of them.
  static constexpr long long kParallelStampPixels = 1 << 20;
  static constexpr long long kBandPixels = 1 << 16;

  void copyTiles(PixelBuffer& out) const;
  // The tile, made on first touch for a write of `written`.
  PixelBuffer& tileAt(int column, int row, const IRect& written);
  // Keeps what a change of `r` overwrites for the live snapshots and counts
  // the change; false, changing nothing, past the budget. Called locked.
  bool beginChange(const IRect& r);
  // Keeps the pixels of `r` for the snapshots older than `generation`.
  bool keepPatch(const IRect& r, uint64_t generation);
  // Puts a pending stamp into the tiles, first keeping a patch when older
  // snapshots live; false, changing nothing, past the budget. Called locked.
  bool settle();
  void compositeTiles(const PixelBuffer& pixels);
  // Makes the tiles the dabs touch that are not there yet, transparent.
  void makeTiles(const std::vector<Dab>& dabs);
  // Composites the rows of `dab` inside `band`, written by `rows` into `row`.
  void stampRows(const Dab& dab, const IRect& band, const ImageNode::RowWriter& rows,
                 std::vector<float>& row);
  static void compositeOver(const PixelBuffer& pixels, PixelBuffer& out);
  // Runs `body` on every tile `r` touches, made on first touch, and tells
  // whether the tile was just made (transparent under `r`, not yet written).
  void forEachTile(const IRect& r, const std::function<void(PixelBuffer&, bool made)>& body);

  IRect bounds_;
  int tileSize_, columns_, rows_;
  mutable std::shared_mutex mutex_;
  std::vector<PixelBuffer> tiles_;  // null where nothing was ever written
  uint64_t generation_ = 0;
  std::vector<Patch> patches_;  // oldest first
  size_t patchBytes_ = 0;
  std::multiset<uint64_t> snapshots_;
  std::optional<Pending> pending_;
};

}  // namespace ci
