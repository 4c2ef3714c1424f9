// Fuzzes the image data blob every layer's image is stored as (a keyed
// archive holding a TIFF, and for PDF images the PDF and its page): decoded
// as a document opens it and reduced as a thumbnail decodes it, drawn, and
// encoded again as saving would.
#include "FuzzSupport.h"
#include "model/IMImagesUtilities.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fnd::Error error;
  // Reduced, as the preview generator decodes layers for a thumbnail.
  if (gfx::ImagePtr small = ima_imageWithImageDataForScale(fuzz::bytes(data, size), 0.1)) {
    QRectF rect(QPointF(0, 0), small->size());
    if (gfx::CGImagePtr pixels = small->CGImageForProposedRect(&rect, nullptr))
      fuzz::checksum(pixels->qImage());
  }
  gfx::ImagePtr image = ima_imageWithImageData(fuzz::bytes(data, size), &error);
  if (!image) return 0;
  const QSizeF extent = image->size();
  if (!(extent.width() * extent.height() <= 256.0 * 256.0)) return 0;
  QRectF rect(QPointF(0, 0), extent);
  if (gfx::CGImagePtr pixels = image->CGImageForProposedRect(&rect, nullptr))
    fuzz::checksum(pixels->qImage());
  ima_produceImageData(image);
  return 0;
}
