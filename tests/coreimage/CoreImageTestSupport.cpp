#include "CoreImageTestSupport.h"

#include <limits>
#include <random>

#include "TestSupport.h"

namespace citest {

ci::Image solidImage(int width, int height, RGBA c) {
  QImage pixels(width, height, QImage::Format_RGBA8888_Premultiplied);
  for (int y = 0; y < height; ++y) {
    uchar* row = pixels.scanLine(y);
    for (int x = 0; x < width; ++x) {
      row[x * 4 + 0] = uchar(std::lround(c.r * 255));
      row[x * 4 + 1] = uchar(std::lround(c.g * 255));
      row[x * 4 + 2] = uchar(std::lround(c.b * 255));
      row[x * 4 + 3] = uchar(std::lround(c.a * 255));
    }
  }
  return ci::Image::imageWithCGImage(gfx::CGImage::make(pixels));
}

ci::Image functionImage(int width, int height, const std::function<RGBA(int x, int y)>& f) {
  ci::PixelBuffer buffer(ci::IRect{0, 0, width, height});
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const RGBA c = f(x, y);
      float* p = buffer.pixel(x, y);
      p[0] = c.r, p[1] = c.g, p[2] = c.b, p[3] = c.a;
    }
  return ci::Image::imageWithBuffer(buffer);
}

QImage noiseQImage(int width, int height, unsigned seed) {
  std::mt19937 random(seed);
  QImage pixels(width, height, QImage::Format_RGBA8888_Premultiplied);
  for (int y = 0; y < height; ++y) {
    uchar* row = pixels.scanLine(y);
    for (int x = 0; x < width * 4; ++x) row[x] = (x % 4 == 3) ? 255 : uchar(random() & 0xff);
  }
  return pixels;
}

ci::PixelBuffer render(const ci::Image& image, const QRectF& rect, int tileSize) {
  ci::Context context({{ci::kTessalyContextTileSize, tileSize}});
  return context.renderToBuffer(image, rect);
}

RGBA pixelAt(const ci::PixelBuffer& buffer, int x, int y) {
  const float* p = buffer.pixel(x, y);
  return {p[0], p[1], p[2], p[3]};
}

float maxDifference(const ci::PixelBuffer& a, const ci::PixelBuffer& b) {
  // A failed render or a mismatched region is never "no difference".
  if (a.isNull() || b.isNull() || a.rect() != b.rect())
    return std::numeric_limits<float>::infinity();
  float worst = 0;
  const ci::IRect& r = a.rect();
  for (int y = r.y; y < r.top(); ++y)
    for (int i = 0; i < r.w * 4; ++i) worst = std::max(worst, std::abs(a.row(y)[i] - b.row(y)[i]));
  return worst;
}

void saveRendered(const ci::Image& image, const QRectF& rect, const QString& recipe) {
  const gfx::CGImagePtr pixels = ci::Context().createCGImage(image, rect);
  if (!pixels) return;
  const QString path = tst::tempPath(QStringLiteral("rendered.png"));
  pixels->qImage().save(path);
  tst::saveArtifact(path, QStringLiteral("coreimage-%1.png").arg(recipe));
}

ci::Image coordinateImage(int width, int height, float scale) {
  return functionImage(width, height, [scale](int x, int y) {
    return RGBA{(x + 0.5f) / scale, (y + 0.5f) / scale, 0, 1};
  });
}

QPointF pointRead(const ci::PixelBuffer& buffer, int x, int y, float scale) {
  const float* p = buffer.pixel(x, y);
  return {double(p[0]) * scale, double(p[1]) * scale};
}

void RecordingNode::render(ci::PixelBuffer& out) const {
  {
    QMutexLocker lock(&mutex_);
    rects_.push_back(out.rect());
  }
  const ci::IRect& r = out.rect();
  for (int y = r.y; y < r.top(); ++y)
    for (int i = 0; i < r.w * 4; ++i) out.row(y)[i] = (i % 4 == 3) ? 1.0f : 0.5f;
}

std::vector<ci::IRect> RecordingNode::rects() const {
  QMutexLocker lock(&mutex_);
  return rects_;
}

}  // namespace citest
