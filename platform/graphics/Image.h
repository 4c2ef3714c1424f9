// An image: a size in points and an ordered list of representations (pixels
// at one or more densities, a PDF page, a drawing handler, render recipes).
// Shared and mutable through ImagePtr. Drawing picks the representation that
// best fits the destination's resolution.
#pragma once

#include <QByteArray>
#include <QList>
#include <QRectF>
#include <QSizeF>
#include <functional>
#include <memory>

#include "foundation/Error.h"
#include "graphics/CGImage.h"
#include "graphics/CompositingOperation.h"
#include "graphics/ImageRep.h"

namespace gfx {

class GraphicsContext;
class Image;
using ImagePtr = std::shared_ptr<Image>;

class Image {
 public:
  // Use the factories; the constructor is public only for make_shared.
  explicit Image(QSizeF size = {});
  ~Image();

  // An empty image of `size` points, to be drawn into with lockFocus().
  static ImagePtr make(QSizeF size);
  // Wraps pixels; an empty `size` means one point per pixel.
  static ImagePtr imageWithCGImage(CGImagePtr image, QSizeF size = {});
  // Decodes PDF (one PDFImageRep) or any bitmap format (every page of a
  // TIFF). Null when nothing can read the data.
  static ImagePtr imageWithData(const QByteArray& data, fnd::Error* error = nullptr);
  static ImagePtr imageWithContentsOfFile(const QString& path, fnd::Error* error = nullptr);
  // An image drawn on demand: `drawingHandler` runs with a bitmap context
  // current whose user space spans (0, 0, size) — y-down when `flipped` —
  // once per pixel size needed; the result is cached until recache().
  static ImagePtr imageWithSize(QSizeF size, bool flipped,
                                std::function<bool(const QRectF& destination)> drawingHandler);

  QSizeF size() const;
  // Also the size of every representation that had the old size.
  void setSize(QSizeF size);
  bool isValid() const;

  QList<ImageRepPtr> representations() const { return reps_; }
  void addRepresentation(ImageRepPtr rep);
  void addRepresentations(const QList<ImageRepPtr>& reps);
  void removeRepresentation(const ImageRepPtr& rep);
  template <class T>
  std::shared_ptr<T> firstRepresentationOfClass() const {
    for (const ImageRepPtr& rep : reps_)
      if (auto typed = std::dynamic_pointer_cast<T>(rep)) return typed;
    return nullptr;
  }
  // The representation to draw `rect` (user points of `context`; null for the
  // image's size) with: the smallest bitmap with at least the device pixels
  // needed, else a resolution-independent one, else the largest bitmap.
  ImageRepPtr bestRepresentationForRect(const QRectF* rect, GraphicsContext* context) const;

  // Draws into GraphicsContext::current(). `source` is in the image's points
  // (y-up); empty means the whole image. Returns false without a current
  // context or anything to draw.
  bool drawInRect(const QRectF& destination, const QRectF& source = {},
                  CompositingOperation op = CompositingOperation::SourceOver,
                  double fraction = 1.0) const;
  bool drawAtPoint(const QPointF& point, const QRectF& source = {},
                   CompositingOperation op = CompositingOperation::SourceOver,
                   double fraction = 1.0) const;

  // Pixels for `proposedRect` (see bestRepresentationForRect). When the rect
  // is given it may be adjusted to the rectangle the pixels cover.
  CGImagePtr CGImageForProposedRect(QRectF* proposedRect, GraphicsContext* context) const;

  // Makes a bitmap context of the image's size current; drawing then lands in
  // the image. unlockFocus() replaces the representations by the resulting
  // bitmap (which started as the image's previous content).
  bool lockFocus();
  void unlockFocus();
  GraphicsContext* focusContext() const { return focus_.get(); }

  // A new image with copies of the representations.
  ImagePtr copy() const;
  // Drops cached renderings (drawing-handler caches).
  void recache();

  // Every bitmap representation (rendering one first if there is none) as
  // TIFF; empty for an image with nothing to draw.
  QByteArray TIFFRepresentation() const;
  QByteArray TIFFRepresentationUsingCompression(int compression, float factor) const;

 private:
  QSizeF size_;
  QList<ImageRepPtr> reps_;
  std::unique_ptr<GraphicsContext> focus_;
};

}  // namespace gfx
