#include "imageio/GraphicsBitmapCoder.h"

#include "foundation/Error.h"
#include "imageio/CodecSupport.h"
#include "imageio/ImageProperties.h"
#include "imageio/ImageSource.h"
#include "imageio/TIFFCodec.h"
#include "imageio/TypeIdentifiers.h"

namespace io {
namespace {

// TIFF pages carry their size in points as a resolution. Other formats keep
// one point per pixel of the full image, the document convention, whatever
// density they declare; a reduced decode has fewer pixels than that.
QSizeF sizeInPoints(const QVariantMap& properties, const QImage& upright, bool tiff,
                    bool mayBeReduced) {
  const int orientation = codec::orientation(properties);
  QSizeF pixels(properties.value(PropertyPixelWidth).toDouble(),
                properties.value(PropertyPixelHeight).toDouble());
  if (orientation >= 5) pixels.transpose();
  if (!mayBeReduced || pixels.isEmpty()) pixels = QSizeF(upright.size());
  const bool reduced = pixels != QSizeF(upright.size());
  double dpiX = properties.value(PropertyDPIWidth).toDouble();
  double dpiY = properties.value(PropertyDPIHeight).toDouble();
  if (!tiff || dpiX <= 0 || dpiY <= 0) return reduced ? pixels : QSizeF();
  if (orientation >= 5) std::swap(dpiX, dpiY);
  return QSizeF(pixels.width() * 72.0 / dpiX, pixels.height() * 72.0 / dpiY);
}

}  // namespace

QList<gfx::BitmapPage> GraphicsBitmapCoder::decode(const QByteArray& data, fnd::Error* error,
                                                   gfx::BitmapLayout layout,
                                                   int minimumLongerSide) const {
  ImageSourcePtr source = ImageSource::createWithData(data, {}, error);
  if (!source) return {};
  // Every page of a TIFF; the first image (frame) of anything else.
  const bool tiff = source->type() == TypeTIFF;
  const size_t count = tiff ? source->count() : 1;
  const ImageCodec* codec = ImageCodec::forType(source->type());
  QList<gfx::BitmapPage> pages;
  for (size_t index = 0; index < count; ++index) {
    fnd::Error pageError;
    // What createImageAtIndex asks of the codec, plus the layout.
    DecodeRequest request;
    request.index = int(index);
    request.limits = source->limits();
    request.drawingLayout = layout == gfx::BitmapLayout::Drawing;
    request.minimumLongerSide = std::max(minimumLongerSide, 0);
    gfx::CGImagePtr image = codec->readImage(source->data(), request, &pageError);
    if (!image) {
      // A damaged later page still leaves the earlier ones.
      if (pages.isEmpty()) fnd::fail(error, pageError);
      break;
    }
    const QVariantMap properties = source->propertiesAtIndex(index);
    const int orientation = codec::orientation(properties);
    if (orientation != 1)
      image = gfx::CGImage::make(codec::applyOrientation(image->qImage(), orientation));
    pages.append({image, sizeInPoints(properties, image->qImage(), tiff, minimumLongerSide > 0)});
  }
  return pages;
}

QByteArray GraphicsBitmapCoder::encodeTIFF(const QList<gfx::BitmapPage>& pages,
                                           gfx::TIFFCompression compression, float factor,
                                           qsizetype prefix) const {
  return TIFFCodec::writeBitmapPages(pages, compression, factor, prefix);
}

void installGraphicsBitmapCoder() {
  static const GraphicsBitmapCoder coder;
  gfx::BitmapCoder::install(&coder);
}

}  // namespace io
