// A representation made of pixels: a CGImage plus a size in points. Encodes
// itself as TIFF through libtiff; decodes TIFF through libtiff and other
// formats through QImage's readers.
#pragma once

#include <QByteArray>
#include <QColor>
#include <QList>

#include "foundation/Error.h"
#include "graphics/ImageRep.h"

namespace gfx {

enum class TIFFCompression { None = 1, LZW = 5, PackBits = 32773, JPEG = 6 };

class BitmapImageRep : public ImageRep {
 public:
  // Size in points equals the pixel size until setSize() says otherwise.
  explicit BitmapImageRep(CGImagePtr image);
  static std::shared_ptr<BitmapImageRep> make(CGImagePtr image);
  // Null (with `error` filled) for data no reader understands.
  static std::shared_ptr<BitmapImageRep> imageRepWithData(const QByteArray& data,
                                                          fnd::Error* error = nullptr);
  // Every image in a (possibly multi-page) TIFF, else the one image.
  static QList<std::shared_ptr<BitmapImageRep>> imageRepsWithData(const QByteArray& data,
                                                                  fnd::Error* error = nullptr);

  CGImagePtr cgImage() const { return image_; }
  int pixelsWide() const override;
  int pixelsHigh() const override;
  bool hasAlpha() const override;
  QString colorSpaceName() const override;
  int samplesPerPixel() const;
  int bitsPerSample() const;
  int bitsPerPixel() const;
  int bytesPerRow() const;
  bool isPlanar() const { return false; }

  // Straight colour of a pixel, (x, y) from the top-left as stored.
  QColor colorAtX(int x, int y) const;

  bool draw(GraphicsContext& context, const QRectF& destination, const QRectF& source,
            CompositingOperation op, double fraction) const override;
  CGImagePtr CGImageForProposedRect(const QRectF* proposedRect,
                                    GraphicsContext* context) const override;
  ImageRepPtr copy() const override;

  // TIFF of these pixels: RGB, or RGBA with unassociated alpha; 8 bits per
  // sample, or 16 for deeper images (16-bit, float) except under JPEG. `factor` is the
  // JPEG quality 0…1 and is ignored by the other compressions. Empty on failure.
  QByteArray TIFFRepresentationUsingCompression(TIFFCompression compression, float factor) const;
  QByteArray TIFFRepresentation() const {
    return TIFFRepresentationUsingCompression(TIFFCompression::None, 0);
  }
  // One multi-page TIFF holding every bitmap representation in `reps`.
  static QByteArray TIFFRepresentationOfImageRepsInArray(
      const QList<std::shared_ptr<BitmapImageRep>>& reps,
      TIFFCompression compression = TIFFCompression::None, float factor = 0);

 private:
  static QList<std::shared_ptr<BitmapImageRep>> imageRepsWithTIFF(const QByteArray& data,
                                                                  fnd::Error* error);
  CGImagePtr image_;
};

using BitmapImageRepPtr = std::shared_ptr<BitmapImageRep>;

}  // namespace gfx
