#include "coreimage/ImageAccumulator.h"

#include <algorithm>
#include <cmath>

#include "coreimage/AccumulatorStore.h"
#include "coreimage/CompositeNode.h"
#include "coreimage/WorkerPool.h"
#include "graphics/CompositingOperation.h"

namespace ci {

ImageAccumulator::ImageAccumulator(const QRectF& extent, Format format)
    : bounds_(isInfinite(extent) ? IRect() : IRect::covering(extent)),
      format_(format),
      store_(std::make_shared<AccumulatorStore>(bounds_, kTileSize)) {}

Image ImageAccumulator::image() const {
  if (bounds_.isEmpty()) return Image::emptyImage();
  std::lock_guard lock(storeMutex_);
  return store_->snapshot();
}

void ImageAccumulator::setImage(const Image& image) { setImage(image, extent()); }

IRect ImageAccumulator::regionOf(const QRectF& dirtyRect) const {
  return IRect::covering(intersect(dirtyRect, extent())).intersected(bounds_);
}

void ImageAccumulator::setImage(const Image& image, const QRectF& dirtyRect) {
  setImage(Image(image), dirtyRect);
}

void ImageAccumulator::setImage(Image&& image, const QRectF& dirtyRect) {
  const IRect region = regionOf(dirtyRect);
  if (region.isEmpty()) return;
  written_ = written_.isEmpty() ? region : written_.united(region);
  Image recipe = std::move(image);
  if (!stampOver(recipe, region)) render(recipe, region);
}

void ImageAccumulator::stampEachOver(const std::vector<Image>& dabs, const QRectF& dirtyRect) {
  const IRect region = regionOf(dirtyRect);
  const bool any =
      std::any_of(dabs.begin(), dabs.end(), [](const Image& d) { return !d.isNull(); });
  if (region.isEmpty() || !any) return;
  if (format_ != kCIFormatRGBAf) {
    for (const Image& dab : dabs)
      if (!dab.isNull()) setImage(dab.imageByCompositingOverImage(image()), dirtyRect);
    return;
  }
  written_ = written_.isEmpty() ? region : written_.united(region);
  // Every dab is rendered before any pixel changes: a dab may read this
  // accumulator's own snapshot. A dab that is a gradient reads nothing and
  // is written a row at a time as it is composited.
  std::vector<AccumulatorStore::Dab> stamped(dabs.size());
  long long pixels = 0;
  for (size_t i = 0; i < dabs.size(); ++i) {
    if (dabs[i].isNull()) continue;
    AccumulatorStore::Dab& dab = stamped[i];
    dab.rect = IRect::covering(intersect(dabs[i].extent(), region.toRectF())).intersected(region);
    if (dab.rect.isEmpty()) continue;
    dab.rows = ImageNode::rowWriterInto(*dabs[i].node());
    if (dab.rows) {
      dab.node = dabs[i].node().get();
      continue;
    }
    dab.pixels = PixelBuffer(dab.rect);
    pixels += dab.rect.area();
  }
  // Small dabs render on this thread, each spreading its own rows when large.
  const auto renderOne = [&](int i) {
    if (!stamped[size_t(i)].pixels.isNull())
      context_.render(dabs[size_t(i)], stamped[size_t(i)].pixels);
  };
  if (pixels < kParallelDabPixels)
    for (int i = 0; i < int(dabs.size()); ++i) renderOne(i);
  else
    WorkerPool::parallelFor(int(dabs.size()), renderOne);
  if (!store_->stampEachOver(stamped)) {
    replaceStore(store_->copy());
    store_->stampEachOver(stamped);
  }
}

bool ImageAccumulator::stampOver(Image& recipe, const IRect& region) {
  // 8-bit storage rounds every pixel it is given: the general path does that.
  if (format_ != kCIFormatRGBAf) return false;
  const auto* over = dynamic_cast<const CompositeNode*>(recipe.node().get());
  if (!over || over->operation() != int(gfx::CompositingOperation::SourceOver) ||
      over->destination().isNull() || !store_->isCurrentSnapshot(*over->destination().node()))
    return false;
  // Outside the source's extent the recipe is the accumulator as it is.
  Image source = over->source();
  const IRect covered =
      IRect::covering(intersect(source.extent(), region.toRectF())).intersected(region);
  if (covered.isEmpty()) return true;
  PixelBuffer dab(covered);
  context_.render(source, dab);
  // Without the recipe its snapshot may go, and with it the pixels the
  // change would otherwise keep for it.
  source = Image();
  recipe = Image();
  if (!store_->stampOver(dab)) {
    replaceStore(store_->copy());
    store_->stampOver(dab);
  }
  return true;
}

void ImageAccumulator::render(Image& recipe, const IRect& region) {
  // Rendered in full before any pixel changes, since the recipe may read
  // this accumulator's own snapshot.
  PixelBuffer rendered(region);
  context_.render(recipe, rendered);
  recipe = Image();
  if (format_ != kCIFormatRGBAf) {
    for (int y = region.y; y < region.top(); ++y) {
      float* p = rendered.row(y);
      for (int i = 0; i < region.w * 4; ++i)
        p[i] = std::round(std::clamp(p[i], 0.0f, 1.0f) * 255.0f) / 255.0f;
    }
  }
  // Snapshots keep a store that is replaced whole, instead of a patch of it.
  if (region == bounds_ && store_->hasSnapshots())
    replaceStore(std::make_shared<AccumulatorStore>(bounds_, kTileSize));
  if (!store_->write(rendered)) {
    replaceStore(store_->copy());
    store_->write(rendered);
  }
}

void ImageAccumulator::clear() {
  written_ = IRect();
  replaceStore(std::make_shared<AccumulatorStore>(bounds_, kTileSize));
}

QRectF ImageAccumulator::writtenRect() const {
  return written_.isEmpty() ? QRectF() : written_.toRectF();
}

void ImageAccumulator::replaceStore(std::shared_ptr<AccumulatorStore> store) {
  std::lock_guard lock(storeMutex_);
  store_ = std::move(store);
}

}  // namespace ci
