// A float RGBA buffer over a fixed extent that an image is repeatedly
// rendered into (the CIImageAccumulator role), as brush strokes stamp dabs.
// Storage is split into tiles made on first touch. image() is a snapshot
// that later changes never reach: a change made while snapshots live keeps
// the pixels it overwrites, and a snapshot puts those back over what it
// reads. A brush reads its snapshot once, inside the very change it feeds,
// so a stamp costs about three copies of the dab's area whatever the extent.
#pragma once

#include <QRectF>
#include <memory>

#include "coreimage/Context.h"
#include "coreimage/Image.h"
#include "coreimage/PixelFormat.h"

namespace ci {

class AccumulatorStore;

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
  IRect bounds_;
  Format format_;
  std::shared_ptr<AccumulatorStore> store_;
  Context context_;
};

}  // namespace ci
