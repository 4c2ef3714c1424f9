#include "coreimage/ImageAccumulator.h"

#include <cmath>

namespace ci {

namespace {

// What image() hands out: the tile grid as it was, tiles absent where the
// accumulator is still transparent.
class AccumulatorSnapshotNode : public ImageNode {
 public:
  AccumulatorSnapshotNode(std::shared_ptr<const std::vector<std::shared_ptr<PixelBuffer>>> grid,
                          const IRect& bounds, int columns)
      : ImageNode(bounds.toRectF()), grid_(std::move(grid)), bounds_(bounds), columns_(columns) {}

  void render(PixelBuffer& out) const override {
    const IRect& r = out.rect();
    const int size = ImageAccumulator::kTileSize;
    const int c0 = (r.x - bounds_.x) / size, c1 = (r.right() - 1 - bounds_.x) / size;
    const int r0 = (r.y - bounds_.y) / size, r1 = (r.top() - 1 - bounds_.y) / size;
    for (int row = r0; row <= r1; ++row)
      for (int column = c0; column <= c1; ++column) {
        const auto& tile = (*grid_)[size_t(row * columns_ + column)];
        const IRect area =
            r.intersected({bounds_.x + column * size, bounds_.y + row * size, size, size});
        PixelBuffer part = out.view(area);
        if (tile)
          part.copyFrom(*tile);
        else
          part.clear();
      }
  }

 private:
  std::shared_ptr<const std::vector<std::shared_ptr<PixelBuffer>>> grid_;
  IRect bounds_;
  int columns_;
};

}  // namespace

ImageAccumulator::ImageAccumulator(const QRectF& extent, Format format)
    : bounds_(isInfinite(extent) ? IRect() : IRect::covering(extent)), format_(format) {
  columns_ = (bounds_.w + kTileSize - 1) / kTileSize;
  rows_ = (bounds_.h + kTileSize - 1) / kTileSize;
  grid_ = std::make_shared<Grid>(size_t(columns_) * size_t(rows_));
}

Image ImageAccumulator::image() const {
  if (bounds_.isEmpty()) return Image::emptyImage();
  return Image(std::make_shared<AccumulatorSnapshotNode>(grid_, bounds_, columns_));
}

IRect ImageAccumulator::tileRect(int column, int row) const {
  return bounds_.intersected(
      {bounds_.x + column * kTileSize, bounds_.y + row * kTileSize, kTileSize, kTileSize});
}

ImageAccumulator::Tile& ImageAccumulator::writableTile(int column, int row) {
  // Snapshots hold the grid and its tiles: copy what they share before writing.
  if (grid_.use_count() > 1) grid_ = std::make_shared<Grid>(*grid_);
  Tile& tile = (*grid_)[size_t(row * columns_ + column)];
  if (!tile)
    tile = std::make_shared<PixelBuffer>(PixelBuffer::zeroed(tileRect(column, row)));
  else if (tile.use_count() > 1)
    tile = std::make_shared<PixelBuffer>(tile->clone());
  return tile;
}

void ImageAccumulator::setImage(const Image& image) { setImage(image, extent()); }

void ImageAccumulator::setImage(const Image& image, const QRectF& dirtyRect) {
  const IRect region = IRect::covering(intersect(dirtyRect, extent())).intersected(bounds_);
  if (region.isEmpty()) return;
  // Rendered in full before any tile changes, since `image` may read this
  // accumulator's own snapshot.
  PixelBuffer rendered(region);
  context_.render(image, rendered);
  if (format_ != kCIFormatRGBAf) {
    for (int y = region.y; y < region.top(); ++y) {
      float* p = rendered.row(y);
      for (int i = 0; i < region.w * 4; ++i)
        p[i] = std::round(std::clamp(p[i], 0.0f, 1.0f) * 255.0f) / 255.0f;
    }
  }
  const int c0 = (region.x - bounds_.x) / kTileSize,
            c1 = (region.right() - 1 - bounds_.x) / kTileSize;
  const int r0 = (region.y - bounds_.y) / kTileSize,
            r1 = (region.top() - 1 - bounds_.y) / kTileSize;
  for (int row = r0; row <= r1; ++row)
    for (int column = c0; column <= c1; ++column) writableTile(column, row)->copyFrom(rendered);
}

void ImageAccumulator::clear() { grid_ = std::make_shared<Grid>(size_t(columns_) * size_t(rows_)); }

}  // namespace ci
