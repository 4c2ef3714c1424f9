#include "coreimage/CIImageRep.h"

#include "graphics/GraphicsContext.h"

namespace ci {

CIImageRep::CIImageRep(Image image)
    : gfx::ImageRep(isInfinite(image.extent()) ? QSizeF() : image.extent().size()),
      image_(std::move(image)) {}

int CIImageRep::pixelsWide() const {
  return isInfinite(image_.extent()) ? 0 : IRect::covering(image_.extent()).w;
}

int CIImageRep::pixelsHigh() const {
  return isInfinite(image_.extent()) ? 0 : IRect::covering(image_.extent()).h;
}

bool CIImageRep::draw(gfx::GraphicsContext& context, const QRectF& destination,
                      const QRectF& source, gfx::CompositingOperation op, double fraction) const {
  const QRectF extent = image_.extent();
  if (image_.isNull() || isInfinite(extent) || isEmpty(extent)) return false;
  // `source` is in the rep's points, measured from the extent's origin.
  const QRectF part = isEmpty(source) ? extent : source.translated(extent.x(), extent.y());
  const gfx::CGImagePtr pixels = Context().createCGImage(image_, part);
  if (!pixels) return false;
  context.drawImage(pixels, destination, {}, op, fraction);
  return true;
}

gfx::CGImagePtr CIImageRep::CGImageForProposedRect(const QRectF*, gfx::GraphicsContext*) const {
  if (image_.isNull() || isInfinite(image_.extent())) return nullptr;
  return Context().createCGImage(image_, image_.extent());
}

gfx::ImageRepPtr CIImageRep::copy() const { return std::make_shared<CIImageRep>(image_); }

}  // namespace ci
