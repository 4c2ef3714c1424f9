// Helpers the render engine's tests share: small images with known pixels,
// rendering to float buffers, and saving rendered recipes as artifacts.
#pragma once

#include <QImage>
#include <QMutex>
#include <QString>
#include <vector>

#include "coreimage/Context.h"
#include "coreimage/Image.h"

namespace citest {

// Colour values the tests state expectations in (premultiplied).
struct RGBA {
  float r, g, b, a;
};

// A w × h image of one premultiplied colour, from 8-bit pixels.
ci::Image solidImage(int width, int height, RGBA colour);
// A float image whose pixel (x, y) (y-up) is f(x, y).
ci::Image functionImage(int width, int height, const std::function<RGBA(int x, int y)>& f);
// Deterministic opaque noise, 8-bit.
QImage noiseQImage(int width, int height, unsigned seed = 1);

// Renders `rect` of `image` with a context using `tileSize`.
ci::PixelBuffer render(const ci::Image& image, const QRectF& rect,
                       int tileSize = ci::Context::kDefaultTileSize);
RGBA pixelAt(const ci::PixelBuffer& buffer, int x, int y);

// Largest component difference between two buffers over the same region.
float maxDifference(const ci::PixelBuffer& a, const ci::PixelBuffer& b);

// Renders `rect` of the recipe to a PNG and keeps it as an artifact named
// after the recipe ("coreimage-<recipe>.png").
void saveRendered(const ci::Image& image, const QRectF& rect, const QString& recipe);

// A float image whose red and green are the x and y of the pixel
// centre divided by `scale`: linear, so a bilinear read anywhere inside
// tells the point that was read.
ci::Image coordinateImage(int width, int height, float scale = 256);
// The point a pixel of a recipe over coordinateImage read (red, green × scale).
QPointF pointRead(const ci::PixelBuffer& buffer, int x, int y, float scale = 256);

// A source whose every render is recorded, so tests see what a recipe reads.
class RecordingNode : public ci::ImageNode {
 public:
  explicit RecordingNode(const QRectF& extent) : ImageNode(extent) {}
  void render(ci::PixelBuffer& out) const override;
  std::vector<ci::IRect> rects() const;

 private:
  mutable QMutex mutex_;
  mutable std::vector<ci::IRect> rects_;
};

}  // namespace citest
