// A representation made of pixels: a CGImage plus a size in points. Decodes
// and encodes (TIFF) through the installed BitmapCoder, the image-file
// layer's codecs.
#pragma once

#include <QByteArray>
#include <QColor>
#include <QList>

#include "foundation/Error.h"
#include "graphics/BitmapCoder.h"
#include "graphics/ImageRep.h"

namespace gfx {

class BitmapImageRep : public ImageRep {
 public:
  // Size in points equals the pixel size until setSize() says otherwise.
  explicit BitmapImageRep(CGImagePtr image);
  static std::shared_ptr<BitmapImageRep> make(CGImagePtr image);
  // Null (with `error` filled) for data no reader understands, or when no
  // coder is installed.
  static std::shared_ptr<BitmapImageRep> imageRepWithData(const QByteArray& data,
                                                          fnd::Error* error = nullptr);
  // Every image in a (possibly multi-page) TIFF, else the one image; with
  // `minimumLongerSide`, perhaps reduced as BitmapCoder::decode says, in
  // which case a representation's size stays that of the full image.
  static QList<std::shared_ptr<BitmapImageRep>> imageRepsWithData(
      const QByteArray& data, fnd::Error* error = nullptr,
      BitmapLayout layout = BitmapLayout::AsStored, int minimumLongerSide = 0);

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
  // JPEG quality 0…1 and is ignored by the other compressions. Empty on failure
  // or when no coder is installed.
  QByteArray TIFFRepresentationUsingCompression(TIFFCompression compression, float factor) const;
  QByteArray TIFFRepresentation() const {
    return TIFFRepresentationUsingCompression(TIFFCompression::None, 0);
  }
  // One multi-page TIFF holding every bitmap representation in `reps`.
  static QByteArray TIFFRepresentationOfImageRepsInArray(
      const QList<std::shared_ptr<BitmapImageRep>>& reps,
      TIFFCompression compression = TIFFCompression::None, float factor = 0);

 private:
  CGImagePtr image_;
};

using BitmapImageRepPtr = std::shared_ptr<BitmapImageRep>;

}  // namespace gfx
