// The offscreen canvas and the checkerboard recipe: where flattening,
// thumbnails and masks are drawn.
#include <QImage>
#include <QPainter>
#include <cmath>

#include "coreimage/Filter.h"
#include "graphics/GraphicsContext.h"
#include "model/IMImagesUtilities.h"

gfx::ImagePtr ima_imageWithPixelSize(const QSizeF& size, const IMDrawingHandler& drawingHandler) {
  auto image = gfx::Image::make(size);
  const double w = std::trunc(size.width()), h = std::trunc(size.height());
  // Sizes with no whole pixel, or too large for an int, give an image with
  // nothing in it rather than a failed allocation.
  if (!(w >= 1 && h >= 1) || w > 1e9 || h > 1e9) return image;
  auto context =
      gfx::GraphicsContext::bitmapContext(int(w), int(h), gfx::ImageAlphaInfo::PremultipliedFirst);
  if (!context) return image;
  {
    gfx::CurrentContextScope scope(context.get());
    gfx::GraphicsContext::saveGraphicsState();
    // One point per pixel: a fractional size maps onto the truncated pixels.
    if (w != size.width() || h != size.height())
      context->scaleCTM(w / size.width(), h / size.height());
    if (drawingHandler) drawingHandler(QRectF(0, 0, size.width(), size.height()));
    gfx::GraphicsContext::restoreGraphicsState();
  }
  // The canvas's own buffer becomes the image: sharing it and then ending
  // the context leaves one bitmap per call, with no snapshot copy. The
  // painter ends first, as a bitmap still being painted is copied whole.
  if (QPainter* painter = context->painter(); painter && painter->isActive()) painter->end();
  QImage pixels = *context->bitmap();
  context.reset();
  auto rep = gfx::BitmapImageRep::make(gfx::CGImage::make(std::move(pixels)));
  rep->setSize(size);
  image->addRepresentation(rep);
  return image;
}

ci::Image ima_backGridWithSpacing(double spacing, const QColor& color, const QRectF& rect,
                                  const QPointF& gridOrigin) {
  Q_UNUSED(rect);
  Q_UNUSED(gridOrigin);
  ci::FilterPtr filter = ci::Filter::filterWithName(QStringLiteral("CICheckerboardGenerator"));
  if (!filter) return {};
  filter->setValue(QVariant::fromValue(ci::Vector{0, 0}), ci::kCIInputCenterKey);
  filter->setValue(QVariant::fromValue(ci::Color(1, 1, 1, 1)), QStringLiteral("inputColor0"));
  filter->setValue(QVariant::fromValue(ima_CIColor(color)), QStringLiteral("inputColor1"));
  filter->setValue(spacing, ci::kCIInputWidthKey);
  filter->setValue(1.0, ci::kCIInputSharpnessKey);
  return filter->outputImage();
}
