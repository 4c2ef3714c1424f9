// Pixel arithmetic, the offscreen canvas and the conversions between the
// three picture forms (gfx::Image with its representations, ci::Image
// recipes, gfx::CGImage pixels), plus the image data blob every Image stores.
// The `ima_` operations are free functions taking their receiver first; a
// null receiver answers null, as messages to nothing do.
#pragma once

#include <QByteArray>
#include <QColor>
#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <QVariantMap>
#include <functional>
#include <memory>

#include "coreimage/Color.h"
#include "coreimage/Image.h"
#include "foundation/Error.h"
#include "graphics/AffineTransform.h"
#include "graphics/BezierPath.h"
#include "graphics/BitmapImageRep.h"
#include "graphics/CGImage.h"
#include "graphics/Image.h"

namespace gfx {
class GraphicsContext;
}

// Class operations only. "Integer" results are 64-bit signed; points, sizes
// and rectangles carry such integers back as doubles.
class IMImagesUtilities {
 public:
  IMImagesUtilities() = delete;

  // Halves away from zero (2.5 → 3, -2.5 → -3).
  static qint64 roundFloat(double value);
  // Toward zero (-2.7 → -2).
  static qint64 centeredFloor(double value);
  // Away from zero (-2.2 → -3, 2.2 → 3).
  static qint64 centeredCeil(double value);

  static QRectF roundRect(const QRectF& rect);
  static QSizeF roundSize(const QSizeF& size);
  static QPointF roundPoint(const QPointF& point);
  static QSizeF floorSize(const QSizeF& size);
  static QPointF floorPoint(const QPointF& point);
  static QSizeF ceilSize(const QSizeF& size);
  static QPointF ceilPoint(const QPointF& point);

  // Origin at the smaller coordinates, size the absolute differences.
  static QRectF rectFromPoint(const QPointF& a, const QPointF& b);
  // The pixels between two points, both end pixels included.
  static QRectF pixelsRectFromPixelsOrigin(const QPointF& a, const QPointF& b);
  static QPointF findOriginWithCenter(const QPointF& center, const QSizeF& size);
  // Fits without enlarging and keeps proportions; no rounding.
  static QSizeF sizeWithImageSize(const QSizeF& imageSize, const QSizeF& maxSize);
  // A copy without `key`, at the top and inside directly nested dictionaries.
  static QVariantMap metadata(const QVariantMap& metadata, const QString& withoutKey);

  // A checkerboard of white and `color` squares anchored at (0, 0) of the
  // current context's user space, drawn source-over over `rect`. The grid
  // origin is accepted for callers' symmetry and not used.
  static void drawBackGridWithSpacing(double spacing, const QColor& color, const QRectF& rect,
                                      const QPointF& gridOrigin);
};

// ---- gfx::Image (IMImagesUtilities) ----

using IMDrawingHandler = std::function<bool(const QRectF& rect)>;

// The offscreen canvas: one 8-bit premultiplied ARGB bitmap of the size's
// whole pixels (one pixel per point), current while `drawingHandler` runs
// with the rectangle (0, 0, width, height). An image without
// representations when the size has no whole pixel or cannot be allocated.
gfx::ImagePtr ima_imageWithPixelSize(const QSizeF& size, const IMDrawingHandler& drawingHandler);

// The image data blob (a keyed archive, see IMImagesUtilitiesImageData.cpp);
// empty for a null image.
QByteArray ima_produceImageData(const gfx::ImagePtr& image);
// Null for empty, undecodable or unexpected data; `error` says why.
gfx::ImagePtr ima_imageWithImageData(const QByteArray& data, fnd::Error* error = nullptr);
// The same for an image only ever drawn at `scale` device pixels per point
// or less: its pixels come reduced by the largest power of two that keeps
// them at least as dense as that (where the format allows), which are the
// pixels drawing would sample from its own halved copies. The image's size
// is that of the full pixels.
gfx::ImagePtr ima_imageWithImageDataForScale(const QByteArray& data, double scale,
                                             fnd::Error* error = nullptr);

template <class T>
std::shared_ptr<T> ima_imageRepOfClass(const gfx::ImagePtr& image) {
  return image ? image->firstRepresentationOfClass<T>() : nullptr;
}
bool ima_hasCoreImageBitmapRep(const gfx::ImagePtr& image);
// Null for a null image or one with no width or height.
ci::Image ima_ciImage(const gfx::ImagePtr& image);
// A bitmap representation whose size agrees with the image's within a
// point; null when the image has nothing to draw.
gfx::BitmapImageRepPtr ima_bitmapRepresentation(const gfx::ImagePtr& image);
// An opaque copy (alpha skipped, transparent areas black) of an image that
// has alpha; null when its pixels have no alpha. Formats without alpha are
// exported from it.
gfx::CGImagePtr new24BitReadyCGImageForProposedRect(const gfx::ImagePtr& image,
                                                    QRectF* proposedRect,
                                                    gfx::GraphicsContext* context,
                                                    const QVariantMap& hints = {});
// Makes one point equal one pixel when the widths disagree.
void ima_convertImageTo72dpi(const gfx::ImagePtr& image);
QRectF ima_imageRect(const gfx::ImagePtr& image);

// ---- ci::Image (IMImagesUtilities) ----

// The recipe rendered into an image of its extent's size (an endless one
// cropped to (0, 0, size) first); null for an empty extent.
gfx::ImagePtr ima_nsImageWithSize(const ci::Image& image, const QSizeF& size);
ci::Image ima_monochromeImageWithColor(const QColor& color, const QSizeF& size);
// Transparent everywhere, endless.
ci::Image ima_emptyImage();
ci::Image ima_composeOtherImage(const ci::Image& image, const ci::Image& other);
ci::Image ima_applyAlpha(const ci::Image& image, double alpha);
ci::Image ima_transformedImageWithTransform(const ci::Image& image,
                                            const gfx::AffineTransform& transform);
ci::Image ima_blurWithRadius(const ci::Image& image, double radius);
// The image kept where the mask is white; the image itself without a mask.
ci::Image ima_maskWithImage(const ci::Image& image, const ci::Image& mask);
// White inside the path, black elsewhere, over (0, 0, rect size); the path is
// taken relative to the rectangle's origin.
ci::Image ima_maskWithPath(const gfx::BezierPath& path, const QRectF& rect);
// The endless checkerboard of drawBackGridWithSpacing.
ci::Image ima_backGridWithSpacing(double spacing, const QColor& color, const QRectF& rect,
                                  const QPointF& gridOrigin);
// The framed thumbnail of the layers panel; null for an empty requested
// size or an image without a finite, non-empty extent.
gfx::ImagePtr ima_previewImageWithPixelSize(const ci::Image& image, const QSizeF& size,
                                            const QColor& gridColor);
// The same from 8-bit pixels, one pixel per point of the image: each
// thumbnail pixel averages the pixels it covers.
gfx::ImagePtr ima_previewImageWithPixelSize(const gfx::CGImagePtr& pixels, const QSizeF& size,
                                            const QColor& gridColor);

// ---- QColor (IMImagesUtilities) ----

ci::Color ima_CIColor(const QColor& color);
