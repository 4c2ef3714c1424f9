// A copy of premultiplied 8-bit pixels at half the width and height, each
// pixel the average of a 2×2 block, for drawing an image at half its size or
// less: sampling it reads a quarter of the bytes and aliases less than
// sampling the full image. It is filled tile by tile as drawing asks for
// regions, so zooming out onto a corner of a large image reduces only that
// corner; each level makes the next one on request.
#pragma once

#include <QImage>
#include <QRect>
#include <atomic>
#include <memory>
#include <mutex>

namespace gfx {

class ReducedPixels {
 public:
  // `source` is premultiplied ARGB32; `parent` is the level `source` belongs
  // to, null when `source` is a complete image.
  ReducedPixels(QImage source, const ReducedPixels* parent);
  ~ReducedPixels();
  ReducedPixels(const ReducedPixels&) = delete;
  ReducedPixels& operator=(const ReducedPixels&) = delete;

  // The reduced pixels; only the regions prepared so far hold values.
  const QImage& pixels() const { return reduced_; }
  // Computes the tiles of `region` (in reduced pixels) not yet computed.
  // Safe to call from several threads at once.
  void prepare(const QRect& region) const;
  // The level below this one, made on first request.
  const ReducedPixels& half() const;

 private:
  void computeTile(int index) const;

  QImage source_;
  const ReducedPixels* parent_;
  QImage reduced_;
  uchar* bits_;
  int tilesAcross_, tilesDown_;
  std::unique_ptr<std::once_flag[]> computed_;
  // Set once a tile holds its values: a redraw over tiles made earlier
  // looks here and leaves at once, without waking the pool.
  std::unique_ptr<std::atomic<bool>[]> done_;
  mutable std::mutex halfMutex_;
  mutable std::unique_ptr<ReducedPixels> half_;
};

}  // namespace gfx
