// Fuzzes the archive a text layer stores its styled text in: decoded as a
// document opens it, laid out, drawn as the layer draws it, and archived
// again as saving would.
#include "FuzzSupport.h"
#include "model/IMImagesUtilities.h"
#include "model/TextLayerAttributedStringCoding.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  gfx::AttributedString string;
  fnd::Error error;
  if (!attributedStringWithArchivedData(fuzz::bytes(data, size), &string, &error)) return 0;
  const QSizeF extent = string.size();
  if (extent.width() * extent.height() <= 512.0 * 512.0) {
    gfx::ImagePtr image = ima_imageWithPixelSize(extent, [&](const QRectF& rect) {
      string.drawInRect(rect);
      return true;
    });
    if (auto bitmap = ima_bitmapRepresentation(image)) bitmap->size();
  }
  archivedDataWithAttributedString(string);
  return 0;
}
