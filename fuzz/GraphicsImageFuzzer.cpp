// Fuzzes the graphics layer's own reading of image bytes (gfx::Image from
// data, as pasted or dropped images and image data blobs are read), then
// draws the image small.
#include "FuzzSupport.h"
#include "graphics/GraphicsContext.h"
#include "graphics/Image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fnd::Error error;
  gfx::ImagePtr image = gfx::Image::imageWithData(fuzz::bytes(data, size), &error);
  if (!image) return 0;
  auto context = gfx::GraphicsContext::bitmapContext(16, 16);
  gfx::CurrentContextScope scope(context.get());
  image->drawInRect(QRectF(0, 0, 16, 16), {}, gfx::CompositingOperation::SourceOver, 1.0);
  return 0;
}
