// A float RGBA buffer over a fixed extent that an image is repeatedly
// rendered into (the CIImageAccumulator role), as brush strokes stamp dabs.
// Storage is split into tiles; image() is a snapshot sharing them, and a
// later setImage copies only the tiles it touches that a snapshot still
// holds, so snapshots never change and stamping never copies the whole buffer.
#pragma once

#include <QRectF>
#include <memory>
#include <vector>

#include "coreimage/Context.h"
#include "coreimage/Image.h"
#include "coreimage/PixelFormat.h"

namespace ci {

class ImageAccumulator {
 public:
  static constexpr int kTileSize = 128;

  // An 8-bit format stores values rounded to 1/255, as a bitmap would.
  ImageAccumulator(const QRectF& extent, Format format = kCIFormatRGBAf);
  static std::shared_ptr<ImageAccumulator> imageAccumulatorWithExtent(const QRectF& extent,
                                                                      Format format) {
    return std::make_shared<ImageAccumulator>(extent, format);
  }

  QRectF extent() const { return bounds_.toRectF(); }
  Format format() const { return format_; }

  // The current contents, unaffected by later changes to the accumulator.
  Image image() const;
  // Replaces the contents with `image` over the whole extent.
  void setImage(const Image& image);
  // Renders only `dirtyRect` of `image` into the buffer; the rest is kept.
  void setImage(const Image& image, const QRectF& dirtyRect);
  void clear();

 private:
  using Tile = std::shared_ptr<PixelBuffer>;
  using Grid = std::vector<Tile>;

  IRect tileRect(int column, int row) const;
  Tile& writableTile(int column, int row);

  IRect bounds_;
  Format format_;
  int columns_ = 0, rows_ = 0;
  std::shared_ptr<Grid> grid_;
  Context context_;
};

}  // namespace ci
