// One representation of an image: pixels, a PDF page, a recipe drawn on
// demand. Abstract; subclasses say how they draw. Other layers add their own
// kinds (the render engine's render-backed representation).
#pragma once

#include <QRectF>
#include <QSizeF>
#include <QString>
#include <memory>

#include "graphics/CGImage.h"
#include "graphics/CompositingOperation.h"

namespace gfx {

class GraphicsContext;

// Colour space names representations report.
inline const QString DeviceRGBColorSpace = QStringLiteral("NSDeviceRGBColorSpace");
inline const QString CalibratedRGBColorSpace = QStringLiteral("NSCalibratedRGBColorSpace");
inline const QString DeviceWhiteColorSpace = QStringLiteral("NSDeviceWhiteColorSpace");
inline const QString CalibratedWhiteColorSpace = QStringLiteral("NSCalibratedWhiteColorSpace");

// pixelsWide()/pixelsHigh() of a representation that draws at any resolution.
inline constexpr int ImageRepMatchesDevice = 0;

class ImageRep {
 public:
  virtual ~ImageRep();

  // Size in points; may differ from the pixel size (a 144-pixel-wide rep of a
  // 72-point image is drawn at twice the density).
  QSizeF size() const { return size_; }
  void setSize(QSizeF size) { size_ = size; }

  virtual int pixelsWide() const { return ImageRepMatchesDevice; }
  virtual int pixelsHigh() const { return ImageRepMatchesDevice; }
  virtual bool hasAlpha() const { return true; }
  virtual QString colorSpaceName() const { return CalibratedRGBColorSpace; }
  // Whether pixelsWide()/pixelsHigh() describe fixed pixels.
  bool isBitmapLike() const { return pixelsWide() > 0 && pixelsHigh() > 0; }

  // Draws the part `source` (in this rep's points, y-up; empty = all of it)
  // into `destination` in the context's user space. Returns false when the
  // rep has nothing to draw.
  virtual bool draw(GraphicsContext& context, const QRectF& destination, const QRectF& source,
                    CompositingOperation op, double fraction) const = 0;
  // Draws all of it at its size with its origin at `point`, source-over.
  bool drawAtPoint(GraphicsContext& context, const QPointF& point) const;

  // Pixels for `proposedRect` (points in the context's user space, null for
  // the rep's size) at the context's resolution (one pixel per point without
  // a context). The default draws the rep into a bitmap.
  virtual CGImagePtr CGImageForProposedRect(const QRectF* proposedRect,
                                            GraphicsContext* context) const;

  virtual std::shared_ptr<ImageRep> copy() const = 0;

 protected:
  ImageRep() = default;
  explicit ImageRep(QSizeF size) : size_(size) {}
  ImageRep(const ImageRep&) = default;
  ImageRep& operator=(const ImageRep&) = default;

 private:
  QSizeF size_;
};

using ImageRepPtr = std::shared_ptr<ImageRep>;

}  // namespace gfx
