#include <cmath>

#include "coreimage/CIImageRep.h"
#include "coreimage/Rect.h"
#include "graphics/GraphicsContext.h"
#include "model/ComposedImage.h"
#include "model/IMImagesUtilities.h"
#include "model/Image.h"
#include "model/Layer.h"
#include "model/Settings.h"
#include "model/VisiblePart.h"

namespace {

bool isPureTranslation(const gfx::AffineTransform& transform) {
  return transform.m11() == 1 && transform.m12() == 0 && transform.m21() == 0 &&
         transform.m22() == 1;
}

// A recipe as a drawable image whose point (0, 0) is the recipe's extent
// origin.
gfx::ImagePtr imageWithRecipe(const ci::Image& recipe) {
  auto image = gfx::Image::make(recipe.extent().size());
  image->addRepresentation(ci::CIImageRep::imageRepWithCIImage(recipe));
  return image;
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

gfx::CompositingOperation operationFromValue(qint64 value) {
  if (value < 0 || value > qint64(gfx::CompositingOperation::Luminosity))
    return gfx::CompositingOperation::SourceOver;
  return gfx::CompositingOperation(value);
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
    if (!mayShowWhileLoading(*this, *image, rect)) return;
    image->nsImage();
  }
  if (!accumulator_ && ci::isEmpty(ci::intersect(clippingRect(), rect))) return;
  gfx::AffineTransform transform = transformation();
  gfx::GraphicsContext::saveGraphicsState();
  transform.concat();
  drawMySelfIsForceQuartz(forceQuartz, isForceNoFilters, hasAlpha, hasCompositing,
                          disableInterpolation && isPureTranslation(transform));
  gfx::GraphicsContext::restoreGraphicsState();
  if (accumulator_) drawAccumulatorHasAlpha(hasAlpha);
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

void Layer::drawMySelfIsForceQuartz(bool forceQuartz, bool isForceNoFilters, bool hasAlpha,
                                    bool hasCompositing, bool disableInterpolation) {
  const int operation = hasCompositing ? compositingOperation() : 2;
  const double fraction = hasAlpha ? alpha() : 1.0;
  const QRectF bounds = boundsForceNoFilters(isForceNoFilters, true);
  const ci::Image filtered = filteredCIImage();
  gfx::ImagePtr source;
  QPointF at = bounds.topLeft();
  QRectF sourceRect(QPointF(0, 0), bounds.size());
  // A filter chain renders only the part of the layer that shows through
  // the clip, and that part is drawn where it belongs.
  auto renderVisiblePart = [&](auto render) {
    const QRectF part = visiblePartOfRect(bounds);
    if (ci::isEmpty(part)) return;
    at = part.topLeft();
    sourceRect = QRectF(QPointF(0, 0), part.size());
    source = render(part);
  };

  if (isCoreImage() && !forceQuartz && !isForceNoFilters && !filtered.isNull()) {
    ci::Image recipe = filtered;
    if (disableInterpolation)
      recipe = recipe.imageByApplyingFilter(
          "CIPixellate",
          {{"inputCenter", QVariant::fromValue(QPointF(0, 0))}, {"inputScale", 1.0}});
    // Cut to the layer's bounds first: a generator's endless extent cannot
    // be drawn, and the bounds are all the layer shows.
    renderVisiblePart(
        [&](const QRectF& part) { return imageWithRecipe(recipe.imageByCroppingToRect(part)); });
  } else if (isForceNoFilters || filtered.isNull()) {
    if (isText()) {
      drawTextWithOperation(operation, fraction);
      return;
    }
    if (Image* image = this->image()) source = image->nsImage();
  } else {
    // The bounds here are the filtered image's own (force-no-filters is off).
    renderVisiblePart([&](const QRectF& part) {
      return ima_nsImageWithSize(filtered.imageByCroppingToRect(part), part.size());
    });
  }
  if (!source) return;
  gfx::GraphicsContext* context = gfx::GraphicsContext::current();
  if (!context) return;
  if (disableInterpolation) context->setImageInterpolation(false);
  source->drawAtPoint(at, sourceRect, operationFromValue(operation), fraction);
}

void Layer::drawAccumulatorHasAlpha(bool hasAlpha) {
  if (!accumulator_) return;
  // Only the painting that shows through the clip is rendered.
  const QRectF part = visiblePartOfRect(accumulator_->extent());
  if (ci::isEmpty(part)) return;
  gfx::ImagePtr pixels =
      ima_nsImageWithSize(accumulator_->image().imageByCroppingToRect(part), part.size());
  if (!pixels) return;
  pixels->drawAtPoint(part.topLeft(), QRectF(QPointF(0, 0), part.size()),
                      operationFromValue(qint64(accumulatorOperation_)), hasAlpha ? alpha() : 1.0);
}

void Layer::prepareAccumulatorWithWorkingRect(const QRectF& workingRect) {
  accumulator_ = ci::ImageAccumulator::imageAccumulatorWithExtent(workingRect, ci::kCIFormatRGBAf);
}

ci::Image Layer::accumulatorImage() const {
  return accumulator_ ? accumulator_->image() : ci::Image::emptyImage();
}

bool Layer::emptyAccumulator() const { return accumulator_ == nullptr; }

gfx::ImagePtr Layer::imageOfTransformedLayer() {
  const QRectF area =
      IMImagesUtilities::roundRect(clippingRectWithAccumulatorForceNoFilters(false));
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
    gfx::ImagePtr baked = imageOfTransformedLayer();
    accumulator_.reset();
    if (Image* image = this->image()) image->setNsImage(baked);
  }
  if (origin() != bakedOrigin) setOrigin(bakedOrigin);
  if (rotationAngle() != 0) setRotationAngle(0);
  if (zoom() != 1) setZoom(1);
  resetFiltersKeepingNonVisible(true);
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
