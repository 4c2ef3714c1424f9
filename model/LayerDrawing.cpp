#include <cmath>
#include <cstring>

#include "coreimage/Rect.h"
#include "graphics/BitmapImageRep.h"
#include "graphics/CGImage.h"
#include "graphics/CompositingOperation.h"
#include "graphics/GraphicsContext.h"
#include "graphics/LargeImageBuffer.h"
#include "model/ComposedImage.h"
#include "model/DrawingAsLayersArrive.h"
#include "model/IMImagesUtilities.h"
#include "model/Image.h"
#include "model/Layer.h"
#include "model/Settings.h"

namespace {

bool isPureTranslation(const gfx::AffineTransform& transform) {
  return transform.m11() == 1 && transform.m12() == 0 && transform.m21() == 0 &&
         transform.m22() == 1;
}

// Whether a layer whose pixels are still decoding may show in `rect`: the
// image lies within the circle it sweeps about its centre at any angle.
// Filters and an accumulator may reach further, so such a layer always may.
bool mayShowWhileLoading(const Layer& layer, Image& image, const QRectF& rect) {
  const QSizeF size = image.sizeOfPixelsBeingLoaded();
  if (size.isEmpty() || !layer.filtersArray().isEmpty() || !layer.emptyAccumulator()) return true;
  const double radius = std::abs(layer.zoom()) * std::hypot(size.width(), size.height()) / 2 + 1;
  const QPointF centre(layer.xOrigin() + size.width() / 2, layer.yOrigin() + size.height() / 2);
  const QRectF reach(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius);
  return !ci::isEmpty(ci::intersect(reach, rect));
}

// Puts `part` (pixels of `partRect` in the layer's own space, y up as the
// document is) into `whole`, whose top row is the layer's top.
void copyRows(const QImage& part, const QRect& partRect, QImage& whole) {
  const int bytes = partRect.width() * 4;
  const int topRow = whole.height() - partRect.y() - partRect.height();
  for (int r = 0; r < partRect.height(); ++r)
    std::memcpy(whole.scanLine(topRow + r) + size_t(partRect.x()) * 4, part.constScanLine(r),
                size_t(bytes));
}

}  // namespace

void Layer::drawIsForceQuartz(bool forceQuartz, bool isVisibleIgnored, bool isForceNoFilters,
                              bool hasAlpha, bool hasCompositing, bool disableInterpolation,
                              const QRectF& rect) {
  if (!visible() && !isVisibleIgnored) return;
  // A layer fetched from a store knows its size only once its pixels are
  // decoded; without this a freshly opened document would flatten empty.
  // One still decoding in the background holds up only the draws it can
  // show in; it tells its owner when its pixels arrive.
  if (Image* image = this->image(); image && !image->localImage() && !image->hasInMemoryVersion()) {
    if (DrawingAsLayersArrive::isActive() && image->isArriving()) {
      image->decodeBeforeOthers();
      return;
    }
    if (!mayShowWhileLoading(*this, *image, rect)) return;
    image->nsImage();
  }
  if (!accumulator_ && ci::isEmpty(ci::intersect(clippingRect(), rect))) return;
  drawingSnapshot(forceQuartz, isForceNoFilters, hasAlpha, hasCompositing, disableInterpolation)
      .draw();
}

void Layer::drawIsForceQuartz(bool forceQuartz, bool isVisibleIgnored, bool isForceNoFilters,
                              bool hasAlpha, bool hasCompositing, bool disableInterpolation) {
  ComposedImage* owner = composedImage();
  drawIsForceQuartz(forceQuartz, isVisibleIgnored, isForceNoFilters, hasAlpha, hasCompositing,
                    disableInterpolation, owner ? owner->rect() : QRectF());
}

void Layer::drawIsForceQuartz(bool forceQuartz, bool isVisibleIgnored, bool disableInterpolation,
                              const QRectF& rect) {
  drawIsForceQuartz(forceQuartz, isVisibleIgnored, false, true, true, disableInterpolation, rect);
}

LayerDrawingSnapshot Layer::drawingSnapshot(bool forceQuartz, bool isForceNoFilters, bool hasAlpha,
                                            bool hasCompositing, bool disableInterpolation) const {
  LayerDrawingSnapshot drawing;
  drawing.transform = transformation();
  drawing.clippingRect = clippingRect();
  drawing.operation = hasCompositing ? compositingOperation() : 2;
  drawing.fraction = hasAlpha ? alpha() : 1.0;
  drawing.disableInterpolation = disableInterpolation && isPureTranslation(drawing.transform);
  drawing.bounds = boundsForceNoFilters(isForceNoFilters, true);
  const ci::Image filtered = filteredCIImage();
  if (isCoreImage() && !forceQuartz && !isForceNoFilters && !filtered.isNull()) {
    drawing.content = LayerDrawingSnapshot::Content::Recipe;
    drawing.recipe = filtered;
    if (drawing.disableInterpolation)
      drawing.recipe = filtered.imageByApplyingFilter(
          "CIPixellate",
          {{"inputCenter", QVariant::fromValue(QPointF(0, 0))}, {"inputScale", 1.0}});
  } else if (isForceNoFilters || filtered.isNull()) {
    if (isText()) {
      drawing.content = LayerDrawingSnapshot::Content::Text;
      drawing.text = drawnText();
      drawing.bounds = boundsForceNoFilters(true, true);
    } else if (Image* image = this->image()) {
      drawing.pixels = image->nsImage();
      if (drawing.pixels) drawing.content = LayerDrawingSnapshot::Content::Pixels;
    }
  } else {
    // The bounds here are the filtered image's own (force-no-filters is off).
    drawing.content = LayerDrawingSnapshot::Content::RenderedRecipe;
    drawing.recipe = filtered;
  }
  if (accumulator_) {
    drawing.hasAccumulator = true;
    drawing.accumulator = accumulator_->image();
    drawing.accumulatorExtent = accumulator_->extent();
    drawing.accumulatorOperation = qint64(accumulatorOperation_);
    drawing.accumulatorFraction = drawing.fraction;
  }
  return drawing;
}

void Layer::prepareAccumulatorWithWorkingRect(const QRectF& workingRect) {
  accumulator_ = ci::ImageAccumulator::imageAccumulatorWithExtent(workingRect, ci::kCIFormatRGBAf);
}

ci::Image Layer::accumulatorImage() const {
  return accumulator_ ? accumulator_->image() : ci::Image::emptyImage();
}

bool Layer::emptyAccumulator() const { return accumulator_ == nullptr; }

gfx::ImagePtr Layer::imageOfTransformedLayer() {
  return imageOfTransformedLayerInRect(
      IMImagesUtilities::roundRect(clippingRectWithAccumulatorForceNoFilters(false)));
}

gfx::ImagePtr Layer::imageOfTransformedLayerInRect(const QRectF& area) {
  if (ci::isEmpty(area)) return nullptr;
  ComposedImage* owner = composedImage();
  const QRectF canvas = owner ? owner->rect() : area;
  gfx::GraphicsContext::saveGraphicsState();
  gfx::ImagePtr result = ima_imageWithPixelSize(area.size(), [&](const QRectF&) {
    gfx::GraphicsContext* context = gfx::GraphicsContext::current();
    if (!context) return false;
    context->translateCTM(-area.x(), -area.y());
    drawIsForceQuartz(false, true, false, false, false, false, canvas);
    return true;
  });
  gfx::GraphicsContext::restoreGraphicsState();
  return result;
}

void Layer::composeAccumulatorWithLayer() {
  const QPointF bakedOrigin = clippingRectWithAccumulatorForceNoFilters(false).topLeft();
  {
    gfx::ImagePtr baked = accumulatorBakedInPlace();
    if (!baked) baked = imageOfTransformedLayer();
    accumulator_.reset();
    if (Image* image = this->image()) image->setNsImage(baked);
  }
  if (origin() != bakedOrigin) setOrigin(bakedOrigin);
  if (rotationAngle() != 0) setRotationAngle(0);
  if (zoom() != 1) setZoom(1);
  resetFiltersKeepingNonVisible(true);
}

// A bake changes only what the accumulator painted when the layer lies
// unmoved, unscaled and unfiltered under it, and the accumulator stays
// inside the layer: the layer's pixels are copied and only the painted
// part is drawn again, by the same drawing as the whole would be (each
// pixel depends on its own pixels alone, and 8-bit values come back from
// the float drawing unchanged). Anything else: null, for the whole drawing.
gfx::ImagePtr Layer::accumulatorBakedInPlace() {
  if (!accumulator_ || rotationAngle() != 0 || zoom() != 1 || !filtersArray().isEmpty() || isText())
    return nullptr;
  // Where the accumulator is still transparent it leaves the layer as is.
  const auto op = gfx::CompositingOperation(accumulatorOperation_);
  if (op != gfx::CompositingOperation::SourceOver &&
      op != gfx::CompositingOperation::DestinationOut)
    return nullptr;
  Image* image = this->image();
  gfx::BitmapImageRepPtr rep = image ? ima_bitmapRepresentation(image->nsImage()) : nullptr;
  if (!rep || !rep->cgImage()) return nullptr;
  const QImage& pixels = rep->cgImage()->qImage();
  const QRectF layerRect(origin(), QSizeF(pixels.width(), pixels.height()));
  const QRectF area =
      IMImagesUtilities::roundRect(clippingRectWithAccumulatorForceNoFilters(false));
  if (area != layerRect || rep->size() != layerRect.size() ||
      pixels.format() != QImage::Format_ARGB32_Premultiplied)
    return nullptr;
  const QRectF painted = ci::intersect(accumulator_->writtenRect(), area);
  QImage result = gfx::LargeImageBuffer::copyOf(pixels);
  if (result.isNull()) return nullptr;
  if (!ci::isEmpty(painted)) {
    const QRect part = QRectF(painted).toAlignedRect();
    gfx::ImagePtr drawn = imageOfTransformedLayerInRect(QRectF(part));
    gfx::BitmapImageRepPtr drawnRep = ima_bitmapRepresentation(drawn);
    if (!drawnRep || drawnRep->cgImage()->qImage().format() != result.format()) return nullptr;
    copyRows(drawnRep->cgImage()->qImage(), part.translated(-area.topLeft().toPoint()), result);
  }
  auto baked = gfx::Image::make(layerRect.size());
  auto bakedRep = gfx::BitmapImageRep::make(gfx::CGImage::make(std::move(result)));
  bakedRep->setSize(layerRect.size());
  baked->addRepresentation(bakedRep);
  return baked;
}

void Layer::deleteWithMask(const ci::Image& mask, const QRectF& dirtyRect, bool fillMode) {
  if (!visible()) return;
  ci::Color color(1, 1, 1, 1);
  if (fillMode) {
    ComposedImage* owner = composedImage();
    std::shared_ptr<Settings> settings = owner ? owner->settings() : nullptr;
    color = ima_CIColor(settings ? settings->color1() : Settings::defaultColor());
  }
  ci::Image colored = ci::Image::imageWithColor(color);
  if (!mask.isNull()) colored = ima_maskWithImage(colored, mask);
  prepareAccumulatorWithWorkingRect(dirtyRect);
  accumulator_->setImage(colored, dirtyRect);
  accumulatorOperation_ = fillMode ? 2 : 8;
  composeAccumulatorWithLayer();
}

void Layer::fill() {
  ComposedImage* owner = composedImage();
  if (!owner) return;
  deleteWithMask(ci::Image(), owner->rect(), true);
}
