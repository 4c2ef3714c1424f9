// Conversions of gfx::Image: to render recipes, to bitmaps, to opaque pixels
// for formats without alpha, and to one point per pixel.
#include <cmath>

#include "coreimage/CIImageRep.h"
#include "graphics/GraphicsContext.h"
#include "graphics/PDFImageRep.h"
#include "model/IMImagesUtilities.h"

bool ima_hasCoreImageBitmapRep(const gfx::ImagePtr& image) {
  return ima_imageRepOfClass<ci::CIImageRep>(image) != nullptr;
}

ci::Image ima_ciImage(const gfx::ImagePtr& image) {
  if (!image || image->size().width() == 0 || image->size().height() == 0) return {};
  if (auto rep = ima_imageRepOfClass<ci::CIImageRep>(image)) return rep->CIImage();
  if (auto pdf = ima_imageRepOfClass<gfx::PDFImageRep>(image)) {
    // A copy, so rendering the page never disturbs the receiver.
    gfx::ImagePtr copy = image->copy();
    if (auto copiedPDF = ima_imageRepOfClass<gfx::PDFImageRep>(copy))
      copiedPDF->setCurrentPage(pdf->currentPage());
    auto bitmap = ima_bitmapRepresentation(copy);
    return bitmap ? ci::Image::imageWithBitmapImageRep(*bitmap) : ci::Image();
  }
  auto bitmap = ima_bitmapRepresentation(image);
  if (!bitmap) return {};
  const ci::Image pixels = ci::Image::imageWithBitmapImageRep(*bitmap);
  // Pixels at another density (a decode reduced for drawing small) still
  // stand for the whole image, one unit per point.
  const QSizeF size = image->size();
  const double wide = bitmap->pixelsWide(), high = bitmap->pixelsHigh();
  if (wide <= 0 || high <= 0 ||
      (wide == std::round(size.width()) && high == std::round(size.height())))
    return pixels;
  return pixels
      .imageByApplyingTransform(QTransform::fromScale(size.width() / wide, size.height() / high))
      .imageByCroppingToRect(QRectF(QPointF(0, 0), size));
}

gfx::BitmapImageRepPtr ima_bitmapRepresentation(const gfx::ImagePtr& image) {
  if (!image) return nullptr;
  if (auto bitmap = ima_imageRepOfClass<gfx::BitmapImageRep>(image)) return bitmap;
  const QSizeF size = image->size();
  QRectF rect(0, 0, size.width(), size.height());
  gfx::CGImagePtr pixels = image->CGImageForProposedRect(&rect, nullptr);
  if (!pixels) return nullptr;
  if (double(pixels->width()) != size.width()) {
    // Pixels at another density: redraw at one pixel per point.
    gfx::ImagePtr canvas = ima_imageWithPixelSize(size, [&](const QRectF& full) {
      return image->drawAtPoint(QPointF(0, 0), full, gfx::CompositingOperation::DestinationOver,
                                1.0);
    });
    auto drawn = ima_imageRepOfClass<gfx::BitmapImageRep>(canvas);
    if (!drawn) return nullptr;
    pixels = drawn->cgImage();
  }
  return gfx::BitmapImageRep::make(pixels);
}

gfx::CGImagePtr new24BitReadyCGImageForProposedRect(const gfx::ImagePtr& image,
                                                    QRectF* proposedRect,
                                                    gfx::GraphicsContext* context,
                                                    const QVariantMap& hints) {
  Q_UNUSED(hints);
  if (!image) return nullptr;
  gfx::CGImagePtr pixels = image->CGImageForProposedRect(proposedRect, context);
  if (!pixels) return nullptr;
  switch (pixels->alphaInfo()) {
    case gfx::ImageAlphaInfo::None:
    case gfx::ImageAlphaInfo::NoneSkipLast:
    case gfx::ImageAlphaInfo::NoneSkipFirst:
      return nullptr;
    default:
      break;
  }
  // The context starts opaque black, so transparent pixels come out black
  // rather than whatever the memory held.
  auto opaque = gfx::GraphicsContext::bitmapContext(int(pixels->width()), int(pixels->height()),
                                                    gfx::ImageAlphaInfo::NoneSkipFirst);
  if (!opaque) return nullptr;
  opaque->drawImage(pixels, QRectF(0, 0, double(pixels->width()), double(pixels->height())));
  return opaque->makeImage();
}

void ima_convertImageTo72dpi(const gfx::ImagePtr& image) {
  auto bitmap = ima_bitmapRepresentation(image);
  if (!bitmap) return;
  // Only the width is compared: a height that disagrees alone is left be.
  if (double(bitmap->pixelsWide()) == std::round(image->size().width())) return;
  const QSizeF pixels(bitmap->pixelsWide(), bitmap->pixelsHigh());
  image->setSize(pixels);
  bitmap->setSize(pixels);
}

QRectF ima_imageRect(const gfx::ImagePtr& image) {
  if (!image) return {};
  return QRectF(0, 0, image->size().width(), image->size().height());
}
