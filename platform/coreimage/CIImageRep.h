// An image representation that carries a recipe (the NSCIImageRep role), so
// a gfx::Image can hold a ci::Image and draw it at any size: drawing renders
// the needed part of the recipe, then draws the pixels like a bitmap.
#pragma once

#include "coreimage/Context.h"
#include "coreimage/Image.h"
#include "graphics/ImageRep.h"

namespace ci {

class CIImageRep : public gfx::ImageRep {
 public:
  // The size is the extent's; an infinite extent draws nothing.
  explicit CIImageRep(Image image);
  static std::shared_ptr<CIImageRep> imageRepWithCIImage(const Image& image) {
    return std::make_shared<CIImageRep>(image);
  }

  const Image& CIImage() const { return image_; }
  int pixelsWide() const override;
  int pixelsHigh() const override;

  bool draw(gfx::GraphicsContext& context, const QRectF& destination, const QRectF& source,
            gfx::CompositingOperation op, double fraction) const override;
  gfx::CGImagePtr CGImageForProposedRect(const QRectF* proposedRect,
                                         gfx::GraphicsContext* context) const override;
  gfx::ImageRepPtr copy() const override;

 private:
  Image image_;
};

}  // namespace ci
