// The render context (the CIContext role): turns a recipe, or a region of
// it, into pixels — an 8-bit premultiplied bitmap, a gfx::CGImage or a float
// RGBA buffer. Large outputs are split into tiles rendered in parallel on
// the engine's worker pool; each tile pulls only its region of interest
// through the recipe. Rendering an infinite region is refused.
#pragma once

#include <QRectF>
#include <QVariantMap>
#include <functional>
#include <memory>

#include "coreimage/Image.h"
#include "coreimage/PixelFormat.h"
#include "graphics/CGImage.h"

namespace ci {

// Context option: the edge of the square tiles renders are split into (int).
inline const QString kTessalyContextTileSize = QStringLiteral("TessalyContextTileSize");

class Context {
 public:
  static constexpr int kDefaultTileSize = 1024;
  // Outputs above this many pixels (4 GiB of float pixels) are refused.
  static constexpr long long kLargestOutput = 1LL << 28;

  explicit Context(const QVariantMap& options = {});
  static std::shared_ptr<Context> context() { return std::make_shared<Context>(); }
  static std::shared_ptr<Context> contextWithOptions(const QVariantMap& options) {
    return std::make_shared<Context>(options);
  }

  int tileSize() const { return tileSize_; }

  // Writes the pixels of `bounds` (rounded out to whole pixels) top row
  // first into `bitmap`. Returns false, writing nothing, for an infinite,
  // empty or larger than kLargestOutput region.
  bool render(const Image& image, void* bitmap, ptrdiff_t rowBytes, const QRectF& bounds,
              Format format) const;
  // Fills `out` over its own region.
  void render(const Image& image, PixelBuffer& out) const;
  // A float buffer of `bounds` (bottom-up rows, the engine's layout).
  PixelBuffer renderToBuffer(const Image& image, const QRectF& bounds) const;

  // An image of `fromRect` as 8-bit premultiplied pixels (or in `format`);
  // null for an infinite or empty rectangle.
  gfx::CGImagePtr createCGImage(const Image& image, const QRectF& fromRect) const;
  gfx::CGImagePtr createCGImage(const Image& image, const QRectF& fromRect, Format format) const;

  // Draws `fromRect` of the image into `inRect` of the current graphics context.
  void drawImage(const Image& image, const QRectF& inRect, const QRectF& fromRect) const;

 private:
  std::vector<IRect> tilesOf(const IRect& region) const;
  static void renderTile(const ImageNode& root, PixelBuffer& tile);
  static void forEachTile(const std::vector<IRect>& tiles, const std::function<void(int)>& body);
  // The pixels of `bounds`, or an empty region (with a log line) when they
  // cannot be rendered.
  static IRect renderableRegion(const QRectF& bounds);

  int tileSize_ = kDefaultTileSize;
};

}  // namespace ci
