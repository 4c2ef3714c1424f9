// The small render recipes the tools combine, rendering a recipe into an
// image, and the layers panel's framed thumbnail.
#include <cmath>

#include "coreimage/Context.h"
#include "coreimage/Filter.h"
#include "coreimage/Rect.h"
#include "graphics/Color.h"
#include "graphics/GraphicsContext.h"
#include "model/IMImagesUtilities.h"

namespace {

ci::Image applyFilter(const QString& name, const QVariantMap& inputs) {
  ci::FilterPtr filter = ci::Filter::filterWithName(name);
  if (!filter) return {};
  for (auto it = inputs.begin(); it != inputs.end(); ++it) filter->setValue(it.value(), it.key());
  return filter->outputImage();
}

QVariant imageValue(const ci::Image& image) { return QVariant::fromValue(image); }

// Scaled extents land a hair beside the integers they mean (49.99999999);
// such a value counts as that integer, so no pixel is lost or smeared.
bool nearlyWhole(double value) { return std::fabs(value - std::round(value)) < 1e-6; }

int wholePixels(double side) {
  return int(nearlyWhole(side) ? std::round(side) : std::trunc(side));
}

bool isPixelAligned(const QRectF& rect) {
  return nearlyWhole(rect.x()) && nearlyWhole(rect.y()) && nearlyWhole(rect.width()) &&
         nearlyWhole(rect.height());
}

QRectF snapped(const QRectF& rect) {
  return QRectF(std::round(rect.x()), std::round(rect.y()), std::round(rect.width()),
                std::round(rect.height()));
}

}  // namespace

gfx::ImagePtr ima_nsImageWithSize(const ci::Image& image, const QSizeF& size) {
  if (image.isNull()) return nullptr;
  ci::Image source = image;
  QRectF extent = image.extent();
  if (ci::isInfinite(extent)) {
    extent = QRectF(0, 0, size.width(), size.height());
    source = image.imageByCroppingToRect(extent);
  }
  if (!(extent.width() > 0 && extent.height() > 0)) return nullptr;
  const int w = wholePixels(extent.width()), h = wholePixels(extent.height());
  if (w < 1 || h < 1) return nullptr;
  gfx::CGImagePtr pixels;
  if (isPixelAligned(extent)) {
    pixels = ci::Context().createCGImage(source, snapped(extent));
  } else {
    auto context = gfx::GraphicsContext::bitmapContext(w, h);
    if (!context) return nullptr;
    gfx::CurrentContextScope scope(context.get());
    ci::Context().drawImage(source, QRectF(0, 0, extent.width(), extent.height()), extent);
    pixels = context->makeImage();
  }
  if (!pixels) return nullptr;
  auto rep = gfx::BitmapImageRep::make(pixels);
  rep->setSize(extent.size());
  auto result = gfx::Image::make(extent.size());
  result->addRepresentation(rep);
  return result;
}

ci::Image ima_monochromeImageWithColor(const QColor& color, const QSizeF& size) {
  gfx::ImagePtr canvas = ima_imageWithPixelSize(size, [&](const QRectF& rect) {
    gfx::GraphicsContext::current()->fillRect(rect, color, gfx::CompositingOperation::Copy);
    return true;
  });
  return ima_ciImage(canvas);
}

ci::Image ima_emptyImage() { return ci::Image::imageWithColor(ci::Color(0, 0, 0, 0)); }

ci::Image ima_composeOtherImage(const ci::Image& image, const ci::Image& other) {
  if (image.isNull()) return {};
  return applyFilter(QStringLiteral("CISourceOverCompositing"),
                     {{ci::kCIInputImageKey, imageValue(image)},
                      {ci::kCIInputBackgroundImageKey, imageValue(other)}});
}

ci::Image ima_applyAlpha(const ci::Image& image, double alpha) {
  if (image.isNull()) return {};
  const ci::Image mask = ci::Image::imageWithColor(ci::Color(alpha, alpha, alpha, 1));
  return applyFilter(QStringLiteral("CIBlendWithMask"),
                     {{ci::kCIInputImageKey, imageValue(image)},
                      {ci::kCIInputBackgroundImageKey, imageValue(ci::Image::emptyImage())},
                      {ci::kCIInputMaskImageKey, imageValue(mask)}});
}

ci::Image ima_transformedImageWithTransform(const ci::Image& image,
                                            const gfx::AffineTransform& transform) {
  if (image.isNull()) return {};
  return applyFilter(QStringLiteral("CIAffineTransform"),
                     {{ci::kCIInputImageKey, imageValue(image)},
                      {ci::kCIInputTransformKey, QVariant::fromValue(transform)}});
}

ci::Image ima_blurWithRadius(const ci::Image& image, double radius) {
  if (image.isNull()) return {};
  return applyFilter(QStringLiteral("CIDiscBlur"),
                     {{ci::kCIInputImageKey, imageValue(image)}, {ci::kCIInputRadiusKey, radius}});
}

ci::Image ima_maskWithImage(const ci::Image& image, const ci::Image& mask) {
  if (image.isNull()) return {};
  if (mask.isNull()) return image;
  ci::Image background = ima_emptyImage();
  ci::Image croppedMask = mask;
  const QRectF extent = image.extent();
  if (!ci::isInfinite(extent)) {
    const QVariant rectangle = QVariant::fromValue(ci::Vector::vectorWithCGRect(extent));
    background =
        applyFilter(QStringLiteral("CICrop"), {{ci::kCIInputImageKey, imageValue(background)},
                                               {QStringLiteral("inputRectangle"), rectangle}});
    croppedMask = applyFilter(
        QStringLiteral("CICrop"),
        {{ci::kCIInputImageKey, imageValue(mask)}, {QStringLiteral("inputRectangle"), rectangle}});
  }
  return applyFilter(QStringLiteral("CIBlendWithMask"),
                     {{ci::kCIInputImageKey, imageValue(image)},
                      {ci::kCIInputBackgroundImageKey, imageValue(background)},
                      {ci::kCIInputMaskImageKey, imageValue(croppedMask)}});
}

ci::Image ima_maskWithPath(const gfx::BezierPath& path, const QRectF& rect) {
  gfx::ImagePtr canvas = ima_imageWithPixelSize(rect.size(), [&](const QRectF& full) {
    gfx::GraphicsContext* context = gfx::GraphicsContext::current();
    context->fillRect(full, Qt::black, gfx::CompositingOperation::Copy);
    gfx::BezierPath moved = path;
    gfx::AffineTransform shift;
    shift.translateXBy(-rect.x(), -rect.y());
    moved.transformUsingAffineTransform(shift);
    context->fillPath(moved, Qt::white);
    return true;
  });
  return ima_ciImage(canvas);
}

namespace {

// The thumbnail's picture size for an image of `extent`: its longer side
// fills the frame's inside, the other keeps the proportions; empty when
// nothing can be drawn.
QSizeF previewPictureSize(const QSizeF& extent, const QSizeF& size) {
  const double w = extent.width(), h = extent.height();
  double width, height;
  if (w > h) {
    width = size.width() - 2;
    height = std::max(1.0, double(IMImagesUtilities::roundFloat(h * width / w)));
  } else {
    height = size.height() - 2;
    width = std::max(1.0, double(IMImagesUtilities::roundFloat(w * height / h)));
  }
  if (!(width >= 1 && height >= 1)) return {};
  return {width, height};
}

// The picture, `width` × `height` pixels, over white and a faint grid.
gfx::ImagePtr framedPreview(const gfx::ImagePtr& picture, const QSizeF& pictureSize,
                            const QColor& gridColor) {
  const double width = pictureSize.width(), height = pictureSize.height();
  const QColor grid = gfx::colorWithAlphaComponent(gridColor, 0.1);
  return ima_imageWithPixelSize(pictureSize, [&](const QRectF& rect) {
    gfx::GraphicsContext::current()->fillRect(rect, Qt::white);
    IMImagesUtilities::drawBackGridWithSpacing(15, grid, rect, QPointF(0, 0));
    // The one-point frame offset is kept inside the thumbnail's own size:
    // the image's top row and right column fall outside.
    if (picture)
      picture->drawInRect(QRectF(1, 1, width, height), QRectF(0, 0, width, height),
                          gfx::CompositingOperation::SourceOver, 1.0);
    return true;
  });
}

}  // namespace

gfx::ImagePtr ima_previewImageWithPixelSize(const ci::Image& image, const QSizeF& size,
                                            const QColor& gridColor) {
  if (size.width() == 0 || size.height() == 0 || image.isNull()) return nullptr;
  const QRectF extent = image.extent();
  // An empty or endless image has no proportions to keep.
  if (ci::isInfinite(extent) || !(extent.width() > 0 && extent.height() > 0)) return nullptr;
  const QSizeF picture = previewPictureSize(extent.size(), size);
  if (picture.isEmpty()) return nullptr;
  gfx::AffineTransform scale;
  scale.scaleXBy(picture.width() / extent.width(), picture.height() / extent.height());
  return framedPreview(
      ima_nsImageWithSize(ima_transformedImageWithTransform(image, scale), picture), picture,
      gridColor);
}

// Each thumbnail pixel is the average of the pixels it covers, taken from
// the 8-bit pixels in one pass: a whole layer is never converted to float
// for a picture a hundred pixels across.
gfx::ImagePtr ima_previewImageWithPixelSize(const gfx::CGImagePtr& pixels, const QSizeF& size,
                                            const QColor& gridColor) {
  if (size.width() == 0 || size.height() == 0 || !pixels) return nullptr;
  const QImage& source = pixels->qImage();
  if (source.isNull()) return nullptr;
  const QSizeF picture = previewPictureSize(QSizeF(source.size()), size);
  if (picture.isEmpty()) return nullptr;
  const QImage reduced =
      source.scaled(picture.toSize(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
  if (reduced.isNull()) return nullptr;
  return framedPreview(gfx::Image::imageWithCGImage(gfx::CGImage::make(reduced)), picture,
                       gridColor);
}

ci::Color ima_CIColor(const QColor& color) {
  const auto rgba = gfx::components(gfx::deviceRGB(color));
  return ci::Color(rgba[0], rgba[1], rgba[2], rgba[3]);
}
