#include "coreimage/Context.h"

#include <QDebug>

#include "coreimage/RenderPlan.h"
#include "coreimage/WorkerPool.h"
#include "graphics/GraphicsContext.h"

namespace ci {

Context::Context(const QVariantMap& options) {
  const int size = options.value(kTessalyContextTileSize, kDefaultTileSize).toInt();
  tileSize_ = std::clamp(size, 16, 8192);
}

std::vector<IRect> Context::tilesOf(const IRect& region) const {
  std::vector<IRect> tiles;
  for (int y = region.y; y < region.top(); y += tileSize_)
    for (int x = region.x; x < region.right(); x += tileSize_)
      tiles.push_back(region.intersected({x, y, tileSize_, tileSize_}));
  return tiles;
}

IRect Context::renderableRegion(const QRectF& bounds) {
  if (isInfinite(bounds)) {
    qWarning("ci::Context: refusing to render an infinite region");
    return {};
  }
  const IRect region = IRect::covering(bounds);
  if (region.area() > kLargestOutput) {
    qWarning("ci::Context: refusing to render %d x %d pixels", region.w, region.h);
    return {};
  }
  return region;
}

void Context::forEachTile(const std::vector<IRect>& tiles, const std::function<void(int)>& body) {
  // Enough tiles keep every thread busy on a tile of its own. Fewer (a
  // dirty rectangle, a view) go one after another, each step of the recipe
  // spreading its rows over the threads: smaller tiles would each pull in
  // the margins their blurs need, for the same pixels.
  if (int(tiles.size()) >= 2 * WorkerPool::threadCount()) {
    WorkerPool::parallelFor(int(tiles.size()), body);
    return;
  }
  for (int i = 0; i < int(tiles.size()); ++i) body(i);
}

void Context::renderTile(const ImageNode& root, PixelBuffer& tile) {
  RenderPlan plan(root, tile.rect());
  RenderPlan::Scope scope(&plan);
  ImageNode::renderInto(root, tile);
}

void Context::render(const Image& image, PixelBuffer& out) const {
  if (out.isNull()) return;
  if (image.isNull()) {
    out.clear();
    return;
  }
  RenderPlan(*image.node(), out.rect()).prepareKeptPixels();
  const std::vector<IRect> tiles = tilesOf(out.rect());
  forEachTile(tiles, [&](int i) {
    PixelBuffer tile = out.view(tiles[size_t(i)]);
    renderTile(*image.node(), tile);
  });
}

PixelBuffer Context::renderToBuffer(const Image& image, const QRectF& bounds) const {
  const IRect region = renderableRegion(bounds);
  if (region.isEmpty()) return {};
  PixelBuffer out(region);
  render(image, out);
  return out;
}

bool Context::render(const Image& image, void* bitmap, ptrdiff_t rowBytes, const QRectF& bounds,
                     Format format) const {
  const IRect region = renderableRegion(bounds);
  if (region.isEmpty() || !bitmap) return false;
  const std::vector<IRect> tiles = tilesOf(region);
  auto* base = static_cast<uchar*>(bitmap);
  const size_t pixelBytes = bytesPerPixel(format);
  if (!image.isNull()) RenderPlan(*image.node(), region).prepareKeptPixels();
  forEachTile(tiles, [&](int i) {
    const IRect& t = tiles[size_t(i)];
    uchar* corner =
        base + ptrdiff_t(region.top() - t.top()) * rowBytes + size_t(t.x - region.x) * pixelBytes;
    if (!image.isNull() && image.node()->renderBytes(t, format, corner, rowBytes)) return;
    const PixelBuffer* held = image.isNull() ? nullptr : image.node()->heldPixels();
    PixelBuffer tile;
    if (held && held->rect().contains(t)) {
      tile = held->view(t);
    } else {
      tile = PixelBuffer(t);
      if (image.isNull())
        tile.clear();
      else
        renderTile(*image.node(), tile);
    }
    WorkerPool::parallelBands(t.h, bandRows(t.w), [&](int begin, int end) {
      for (int y = t.y + begin; y < t.y + end; ++y) {
        uchar* row =
            base + ptrdiff_t(region.top() - 1 - y) * rowBytes + size_t(t.x - region.x) * pixelBytes;
        storeRow(tile.row(y), format, row, t.w);
      }
    });
  });
  return true;
}

gfx::CGImagePtr Context::createCGImage(const Image& image, const QRectF& fromRect) const {
  return createCGImage(image, fromRect, kCIFormatBGRA8);
}

gfx::CGImagePtr Context::createCGImage(const Image& image, const QRectF& fromRect,
                                       Format format) const {
  const IRect region = renderableRegion(fromRect);
  const QImage::Format qFormat = qImageFormat(format);
  if (region.isEmpty() || qFormat == QImage::Format_Invalid) return {};
  // The pixels live in a recycled block that returns to the pool when the
  // last copy of the image goes away.
  const qsizetype bytesPerLine = qsizetype(region.w) * qsizetype(bytesPerPixel(format));
  const size_t floats =
      (size_t(bytesPerLine) * size_t(region.h) + sizeof(float) - 1) / sizeof(float);
  auto* block = new std::shared_ptr<float[]>(recycledBlock(floats));
  QImage pixels(
      reinterpret_cast<uchar*>(block->get()), region.w, region.h, bytesPerLine, qFormat,
      [](void* info) { delete static_cast<std::shared_ptr<float[]>*>(info); }, block);
  if (pixels.isNull()) {
    delete block;
    return {};
  }
  if (!render(image, pixels.bits(), pixels.bytesPerLine(), region.toRectF(), format)) return {};
  return gfx::CGImage::make(std::move(pixels));
}

void Context::drawImage(const Image& image, const QRectF& inRect, const QRectF& fromRect) const {
  gfx::GraphicsContext* target = gfx::GraphicsContext::current();
  if (!target) return;
  const gfx::CGImagePtr pixels = createCGImage(image, fromRect);
  if (pixels) target->drawImage(pixels, inRect);
}

}  // namespace ci
