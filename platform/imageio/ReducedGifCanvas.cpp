#include "imageio/ReducedGifCanvas.h"

#include <algorithm>
#include <cmath>

namespace io {

uint64_t ReducedGifCanvas::workingBytes(int width, int height, int factor) {
  uint64_t blocks =
      uint64_t((width + factor - 1) / factor) * uint64_t((height + factor - 1) / factor);
  return blocks * (sizeof(Block) + sizeof(Paint) + 4);
}

ReducedGifCanvas::ReducedGifCanvas(int width, int height, int factor)
    : width_(width),
      height_(height),
      factor_(std::max(factor, 1)),
      columns_((width + factor_ - 1) / factor_),
      rows_((height + factor_ - 1) / factor_),
      canvas_(size_t(columns_) * size_t(rows_), Block{{0, 0, 0, 0}}),
      frame_(canvas_.size(), Paint{{0, 0, 0, 0}, 0}) {}

int ReducedGifCanvas::blockArea(int column, int row) const {
  return std::min(factor_, width_ - column * factor_) * std::min(factor_, height_ - row * factor_);
}

void ReducedGifCanvas::addFrameRow(int y, int left, const uchar* rgba, int count) {
  if (y < 0 || y >= height_) return;
  int row = y / factor_;
  Paint* paints = frame_.data() + size_t(row) * size_t(columns_);
  int first = std::max(0, -left), end = std::min(count, width_ - left);
  if (first >= end) return;
  // GIF pixels are opaque or clear, so a block's paint is a plain sum of
  // the opaque ones, kept in registers while the row crosses the block.
  for (int i = first; i < end;) {
    int column = (left + i) / factor_;
    int blockEnd = std::min(end, (column + 1) * factor_ - left);
    uint32_t r = 0, g = 0, b = 0, opaque = 0;
    for (const uchar* pixel = rgba + i * 4; i < blockEnd; ++i, pixel += 4) {
      if (pixel[3] == 0) continue;
      r += pixel[0];
      g += pixel[1];
      b += pixel[2];
      ++opaque;
    }
    Paint& paint = paints[column];
    paint.sum[0] += float(r);
    paint.sum[1] += float(g);
    paint.sum[2] += float(b);
    paint.sum[3] += float(opaque) * 255.0f;
    paint.count += opaque;
  }
  painted_ |= QRect(QPoint((left + first) / factor_, row), QPoint((left + end - 1) / factor_, row));
}

void ReducedGifCanvas::finishFrame() {
  for (int row = painted_.top(); row <= painted_.bottom(); ++row) {
    for (int column = painted_.left(); column <= painted_.right(); ++column) {
      size_t at = size_t(row) * size_t(columns_) + size_t(column);
      Paint& paint = frame_[at];
      if (paint.count == 0) continue;
      float area = float(blockArea(column, row));
      float kept = 1.0f - float(paint.count) / area;
      for (int c = 0; c < 4; ++c)
        canvas_[at].color[c] = canvas_[at].color[c] * kept + paint.sum[c] / area;
      paint = Paint{{0, 0, 0, 0}, 0};
    }
  }
  painted_ = QRect();
}

void ReducedGifCanvas::clear(const QRect& rect) {
  QRect area = rect & QRect(0, 0, width_, height_);
  if (area.isEmpty()) return;
  for (int row = area.top() / factor_; row <= area.bottom() / factor_; ++row) {
    for (int column = area.left() / factor_; column <= area.right() / factor_; ++column) {
      QRect block = QRect(column * factor_, row * factor_, factor_, factor_) & area;
      float share = float(block.width() * block.height()) / float(blockArea(column, row));
      Block& target = canvas_[size_t(row) * size_t(columns_) + size_t(column)];
      for (float& value : target.color) value *= 1.0f - share;
    }
  }
}

QImage ReducedGifCanvas::image() const {
  QImage image(columns_, rows_, QImage::Format_RGBA8888_Premultiplied);
  if (image.isNull()) return image;
  for (int row = 0; row < rows_; ++row) {
    const Block* blocks = canvas_.data() + size_t(row) * size_t(columns_);
    uchar* out = image.scanLine(row);
    for (int column = 0; column < columns_; ++column, out += 4) {
      float alpha = std::clamp(blocks[column].color[3], 0.0f, 255.0f);
      out[3] = uchar(std::lround(alpha));
      for (int c = 0; c < 3; ++c)
        out[c] = uchar(
            std::min<long>(std::lround(std::clamp(blocks[column].color[c], 0.0f, 255.0f)), out[3]));
    }
  }
  return image;
}

}  // namespace io
