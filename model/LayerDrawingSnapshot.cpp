#include "model/LayerDrawingSnapshot.h"

#include "coreimage/CIImageRep.h"
#include "coreimage/Rect.h"
#include "graphics/GraphicsContext.h"
#include "model/IMImagesUtilities.h"
#include "model/VisiblePart.h"

namespace {

// A recipe as a drawable image whose point (0, 0) is the recipe's extent
// origin.
gfx::ImagePtr imageWithRecipe(const ci::Image& recipe) {
  auto image = gfx::Image::make(recipe.extent().size());
  image->addRepresentation(ci::CIImageRep::imageRepWithCIImage(recipe));
  return image;
}

gfx::CompositingOperation operationFromValue(qint64 value) {
  if (value < 0 || value > qint64(gfx::CompositingOperation::Luminosity))
    return gfx::CompositingOperation::SourceOver;
  return gfx::CompositingOperation(value);
}

bool isSourceOver(qint64 operation) {
  return operationFromValue(operation) == gfx::CompositingOperation::SourceOver;
}

}  // namespace

void LayerDrawingSnapshot::draw() const {
  gfx::GraphicsContext::saveGraphicsState();
  transform.concat();
  drawContent();
  gfx::GraphicsContext::restoreGraphicsState();
  if (hasAccumulator) drawAccumulator();
}

bool LayerDrawingSnapshot::mayShowIn(const QRectF& rect) const {
  return hasAccumulator || !ci::isEmpty(ci::intersect(clippingRect, rect));
}

void LayerDrawingSnapshot::detach() {
  if (pixels) pixels = pixels->copy();
}

bool LayerDrawingSnapshot::isSourceOverOnly() const {
  return isSourceOver(operation) && (!hasAccumulator || isSourceOver(accumulatorOperation));
}

void LayerDrawingSnapshot::drawContent() const {
  if (content == Content::None) return;
  if (content == Content::Text) return drawText();
  gfx::ImagePtr source = pixels;
  QPointF at = bounds.topLeft();
  QRectF sourceRect(QPointF(0, 0), bounds.size());
  if (content == Content::Recipe || content == Content::RenderedRecipe) {
    // A filter chain renders only the part of the layer that shows through
    // the clip, and that part is drawn where it belongs. Cut to the bounds
    // first: a generator's endless extent cannot be drawn.
    const QRectF part = visiblePartOfRect(bounds);
    if (ci::isEmpty(part)) return;
    at = part.topLeft();
    sourceRect = QRectF(QPointF(0, 0), part.size());
    const ci::Image cut = recipe.imageByCroppingToRect(part);
    source =
        content == Content::Recipe ? imageWithRecipe(cut) : ima_nsImageWithSize(cut, part.size());
  }
  if (!source) return;
  gfx::GraphicsContext* context = gfx::GraphicsContext::current();
  if (!context) return;
  if (disableInterpolation) context->setImageInterpolation(false);
  source->drawAtPoint(at, sourceRect, operationFromValue(operation), fraction);
}

void LayerDrawingSnapshot::drawText() const {
  // Only the part of the text that shows through the clip is laid out in
  // pixels; it is the same part of the whole text's image.
  const QRectF part = visiblePartOfRect(bounds);
  if (part.width() <= 0 || part.height() <= 0) return;
  gfx::ImagePtr image = ima_imageWithPixelSize(part.size(), [&](const QRectF&) {
    gfx::GraphicsContext* context = gfx::GraphicsContext::current();
    if (!context) return false;
    context->translateCTM(bounds.x() - part.x(), bounds.y() - part.y());
    text.drawInRect(bounds);
    return true;
  });
  if (!image) return;
  // Text blends normally whatever the layer's operation, except that
  // destination-in (7) makes it cut its letters out of what lies below.
  const auto blend = operation == qint64(gfx::CompositingOperation::DestinationIn)
                         ? gfx::CompositingOperation::DestinationOut
                         : gfx::CompositingOperation::SourceOver;
  image->drawAtPoint(part.topLeft(), QRectF(QPointF(0, 0), part.size()), blend, fraction);
}

void LayerDrawingSnapshot::drawAccumulator() const {
  // Only the painting that shows through the clip is rendered.
  const QRectF part = visiblePartOfRect(accumulatorExtent);
  if (ci::isEmpty(part)) return;
  gfx::ImagePtr painted = ima_nsImageWithSize(accumulator.imageByCroppingToRect(part), part.size());
  if (!painted) return;
  painted->drawAtPoint(part.topLeft(), QRectF(QPointF(0, 0), part.size()),
                       operationFromValue(accumulatorOperation), accumulatorFraction);
}
