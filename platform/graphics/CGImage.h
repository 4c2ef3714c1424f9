// Immutable pixels, the currency between drawing, the render engine and the
// image codecs. Backed by a QImage that is never modified after creation;
// copies share the pixels.
#pragma once

#include <QImage>
#include <memory>
#include <mutex>

namespace gfx {

class ReducedPixels;

// How alpha is laid out, in the platform's terms. `None` and `NoneSkipFirst`
// have no alpha; the premultiplied kinds store colour multiplied by alpha.
enum class ImageAlphaInfo {
  None,
  PremultipliedLast,
  PremultipliedFirst,
  Last,
  First,
  NoneSkipLast,
  NoneSkipFirst,
};

class CGImage;
using CGImagePtr = std::shared_ptr<const CGImage>;

class CGImage {
 public:
  // Takes `pixels` as they are; the QImage's format decides the bit depth and
  // alpha layout (8-bit ARGB32/RGBA8888 kinds, RGBA64 for 16 bits per
  // component, RGBA32FPx4 for floats, Grayscale8/16).
  explicit CGImage(QImage pixels);
  static CGImagePtr make(QImage pixels);

  size_t width() const { return size_t(image_.width()); }
  size_t height() const { return size_t(image_.height()); }
  size_t bitsPerComponent() const;
  size_t bitsPerPixel() const { return size_t(image_.depth()); }
  size_t bytesPerRow() const { return size_t(image_.bytesPerLine()); }
  bool isFloat() const;
  bool hasAlpha() const { return image_.hasAlphaChannel(); }
  ImageAlphaInfo alphaInfo() const;

  // The pixels, top row first (as stored in files and QImage).
  const QImage& qImage() const { return image_; }

  // The same pixels in a given QImage format, converted when needed.
  QImage toFormat(QImage::Format format) const;

  // The pixels as drawing samples them. Every 8-bit layout becomes
  // premultiplied ARGB32, so a transformed draw filters the same values
  // whichever layout the image was made or decoded in; it is converted on
  // first use and kept. Deeper images come back as they are.
  const QImage& drawingPixels() const;
  // The drawing pixels at half size and below, for drawing 8-bit images
  // reduced; kept with the image (and its copies) once asked for.
  const ReducedPixels& halfSizePixels() const;
  // Makes the whole half-size copy on the worker pool, in the background,
  // for a large 8-bit image that will likely be drawn reduced; drawing it
  // meanwhile takes the tiles already made and makes the rest itself.
  void prepareHalfSizePixelsInBackground() const;
  // Whether the half-size copy has been asked for, by a draw or ahead of one.
  bool hasHalfSizePixels() const;

 private:
  struct DrawingCache {
    DrawingCache();
    ~DrawingCache();
    std::mutex mutex;
    QImage pixels;
    std::unique_ptr<ReducedPixels> half;
  };
  QImage image_;
  std::shared_ptr<DrawingCache> drawingCache_ = std::make_shared<DrawingCache>();
};

}  // namespace gfx
