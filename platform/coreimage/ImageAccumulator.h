// A float RGBA buffer over a fixed extent that an image is repeatedly
// rendered into (the CIImageAccumulator role), as brush strokes stamp dabs.
// Storage is split into tiles made on first touch. image() is a snapshot
// that later changes never reach: a change made while snapshots live keeps
// the pixels it overwrites, and a snapshot puts those back over what it
// reads. A brush reads its snapshot once, inside the very change it feeds:
// a dab composited over it is composited onto the tiles in place, so a
// stamp costs one render of the dab and one pass over its square, whatever
// the extent. One thread changes an accumulator at a time; any thread may
// take its image() meanwhile.
#pragma once

#include <QRectF>
#include <memory>
#include <mutex>
#include <vector>

#include "coreimage/Context.h"
#include "coreimage/Image.h"
#include "coreimage/PixelFormat.h"

namespace ci {

class AccumulatorStore;

class ImageAccumulator {
 public:
  static constexpr int kTileSize = 128;
  // From this many dab pixels on, stampEachOver() renders dabs side by side.
  static constexpr long long kParallelDabPixels = 1 << 20;

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
  // An image composited source-over onto this accumulator's own image(),
  // as a brush stamps a dab, is composited onto the buffer in place.
  void setImage(const Image& image, const QRectF& dirtyRect);
  // The same for a recipe the caller lets go of (a temporary): the
  // snapshots inside it are gone before any pixel changes, so the pixels
  // they showed need no keeping.
  void setImage(Image&& image, const QRectF& dirtyRect);
  // Composites each of `dabs` source-over onto the contents in turn, inside
  // `dirtyRect`: the pixels of setImage(dab over image(), dirtyRect) for
  // one dab after another (null ones skipped), with the dabs rendered side
  // by side and their rows composited band by band on the worker pool.
  void stampEachOver(const std::vector<Image>& dabs, const QRectF& dirtyRect);
  void clear();
  // Covers every pixel written since construction or the last clear():
  // outside it the accumulator is still transparent. Empty when untouched.
  QRectF writtenRect() const;

 private:
  // The pixels of `dirtyRect` that setImage changes; empty for none.
  IRect regionOf(const QRectF& dirtyRect) const;
  // Stamps `recipe` when it is some image composited source-over onto
  // image(), letting go of the recipe before any pixel changes; false,
  // doing nothing, for any other recipe.
  bool stampOver(Image& recipe, const IRect& region);
  // Any other recipe: rendered, let go of, then written.
  void render(Image& recipe, const IRect& region);
  // The changing thread reads store_ freely; it swaps it only here, under
  // the lock image() reads it with.
  void replaceStore(std::shared_ptr<AccumulatorStore> store);

  IRect bounds_;
  IRect written_;
  Format format_;
  mutable std::mutex storeMutex_;
  std::shared_ptr<AccumulatorStore> store_;
  Context context_;
};

}  // namespace ci
