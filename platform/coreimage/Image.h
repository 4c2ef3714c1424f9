// An image recipe (the CIImage role): immutable and cheap to copy, with an
// extent that may be infinite. Nothing is computed until a Context renders
// it, and then only the region asked for. Coordinates are y-up with the
// origin at the bottom left; an image made from pixels has extent (0, 0, w, h).
#pragma once

#include <QMetaType>
#include <QRectF>
#include <QTransform>
#include <QVariantMap>

#include "coreimage/Color.h"
#include "coreimage/ImageNode.h"
#include "coreimage/PixelFormat.h"
#include "graphics/CGImage.h"

namespace gfx {
class BitmapImageRep;
}

namespace ci {

// How a transformed image reads its source between pixel centres.
enum class Sampling { Linear, Nearest };

class Image {
 public:
  // A null image: no recipe, empty extent. Filters answer it for missing inputs.
  Image() = default;
  explicit Image(ImageNodePtr node, Sampling sampling = Sampling::Linear);

  static Image imageWithCGImage(const gfx::CGImagePtr& image);
  static Image imageWithBitmapImageRep(const gfx::BitmapImageRep& rep);
  // Pixels given top row first, as bitmaps are laid out in memory.
  static Image imageWithBitmapData(const QByteArray& data, int bytesPerRow, const QSize& size,
                                   Format format);
  // A float buffer as it is (shared, not copied); its region is the extent.
  static Image imageWithBuffer(const PixelBuffer& buffer);
  static Image imageWithColor(const Color& color);
  // Transparent everywhere, with an empty extent.
  static Image emptyImage();

  bool isNull() const { return node_ == nullptr; }
  QRectF extent() const;
  const ImageNodePtr& node() const { return node_; }
  Sampling sampling() const { return sampling_; }

  Image imageByCroppingToRect(const QRectF& rect) const;
  // Linear (bilinear) sampling unless this image asked for nearest.
  Image imageByApplyingTransform(const QTransform& transform) const;
  Image imageByApplyingTransform(const QTransform& transform, Sampling sampling) const;
  // The same image whose later transforms sample the nearest pixel.
  Image imageBySamplingNearest() const;
  Image imageBySamplingLinear() const;
  Image imageByCompositingOverImage(const Image& destination) const;
  // Repeats the edge pixels outwards for ever.
  Image imageByClampingToExtent() const;
  // The same pixels, kept as 8-bit once rendered, so later renders of any
  // part already rendered copy them instead of running the recipe again.
  // Images without a finite extent are returned as they are.
  Image imageByCachingPixels() const;
  Image imageByApplyingFilter(const QString& filterName, const QVariantMap& parameters = {}) const;

 private:
  ImageNodePtr node_;
  Sampling sampling_ = Sampling::Linear;
};

}  // namespace ci

Q_DECLARE_METATYPE(ci::Image)
