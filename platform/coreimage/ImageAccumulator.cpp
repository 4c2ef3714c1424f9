#include "coreimage/ImageAccumulator.h"

#include <cmath>

#include "coreimage/AccumulatorStore.h"

namespace ci {

ImageAccumulator::ImageAccumulator(const QRectF& extent, Format format)
    : bounds_(isInfinite(extent) ? IRect() : IRect::covering(extent)),
      format_(format),
      store_(std::make_shared<AccumulatorStore>(bounds_, kTileSize)) {}

Image ImageAccumulator::image() const {
  if (bounds_.isEmpty()) return Image::emptyImage();
  return store_->snapshot();
}

void ImageAccumulator::setImage(const Image& image) { setImage(image, extent()); }

void ImageAccumulator::setImage(const Image& image, const QRectF& dirtyRect) {
  const IRect region = IRect::covering(intersect(dirtyRect, extent())).intersected(bounds_);
  if (region.isEmpty()) return;
  // Rendered in full before any pixel changes, since `image` may read this
  // accumulator's own snapshot.
  PixelBuffer rendered(region);
  context_.render(image, rendered);
  if (format_ != kCIFormatRGBAf) {
    for (int y = region.y; y < region.top(); ++y) {
      float* p = rendered.row(y);
      for (int i = 0; i < region.w * 4; ++i)
        p[i] = std::round(std::clamp(p[i], 0.0f, 1.0f) * 255.0f) / 255.0f;
    }
  }
  // Snapshots keep a store that is replaced whole, instead of a patch of it.
  if (region == bounds_ && store_->hasSnapshots())
    store_ = std::make_shared<AccumulatorStore>(bounds_, kTileSize);
  if (!store_->write(rendered)) {
    store_ = store_->copy();
    store_->write(rendered);
  }
}

void ImageAccumulator::clear() { store_ = std::make_shared<AccumulatorStore>(bounds_, kTileSize); }

}  // namespace ci
