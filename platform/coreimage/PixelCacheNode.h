// A recipe step that keeps what its input renders to, as 8-bit
// premultiplied pixels (what a layer shows: components are rounded to 1/255
// and held within 0…1 as in any bitmap), so that drawing a part of a
// filtered layer again costs a copy instead of the filter chain. Pixels are
// kept in squares of 16 made on demand; a render fills the squares it will
// read before its tiles start (prepare), and 8-bit renders copy the bytes
// out directly. Made once per version of the input: it is never invalidated,
// a new version of the recipe gets a new cache.
#pragma once

#include <memory>
#include <shared_mutex>
#include <vector>

#include "coreimage/Image.h"

namespace ci {

class PixelCacheNode : public ImageNode {
 public:
  explicit PixelCacheNode(Image input);

  void render(PixelBuffer& out) const override;
  bool renderBytes(const IRect& rect, Format format, uchar* topRow,
                   ptrdiff_t rowBytes) const override;
  bool keepsPixels() const override { return true; }
  void prepare(const IRect& region) const override;

 private:
  static constexpr int kCell = 16;    // squares known to hold their pixels
  static constexpr int kBlock = 256;  // squares of storage, made on first write

  // Whether every square `rect` touches holds its pixels; under the lock.
  bool holds(const IRect& rect) const;
  void store(const IRect& rect, const uchar* topRow, ptrdiff_t rowBytes) const;
  void copyOut(const IRect& rect, Format format, uchar* topRow, ptrdiff_t rowBytes) const;
  void copyRows(const IRect& rect, int firstY, int endY, Format format, uchar* topRow,
                ptrdiff_t rowBytes) const;

  Image input_;
  IRect bounds_;
  int cellColumns_, cellRows_, blockColumns_;
  mutable std::shared_mutex mutex_;
  mutable std::vector<bool> held_;                        // per square of kCell
  mutable std::vector<std::shared_ptr<float[]>> blocks_;  // RGBA bytes, rows bottom first
};

}  // namespace ci
