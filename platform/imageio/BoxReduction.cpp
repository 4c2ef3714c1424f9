#include "imageio/BoxReduction.h"

#include <algorithm>

namespace io {

int BoxReduction::factorFor(int64_t width, int64_t height, int minimumLongerSide) {
  if (minimumLongerSide <= 0) return 1;
  return int(std::max<int64_t>(1, std::max(width, height) / minimumLongerSide));
}

uint64_t BoxReduction::workingBytes(int64_t width, int64_t height, int factor) {
  uint64_t columns = uint64_t((width + factor - 1) / factor);
  uint64_t rows = uint64_t((height + factor - 1) / factor);
  // The sums, then the image made from them.
  return columns * rows * (4 * sizeof(uint64_t) + 4);
}

BoxReduction::BoxReduction(int width, int height, int factor)
    : width_(width),
      height_(height),
      factor_(std::max(factor, 1)),
      reducedWidth_((width + factor_ - 1) / factor_),
      reducedHeight_((height + factor_ - 1) / factor_),
      sums_(size_t(reducedWidth_) * size_t(reducedHeight_) * 4, 0) {}

void BoxReduction::addRow(int y, const uchar* rgba, int count, int firstX, int step) {
  if (y < 0 || y >= height_ || firstX < 0 || step < 1) return;
  uint64_t* row = sums_.data() + size_t(y / factor_) * size_t(reducedWidth_) * 4;
  count = std::min<int64_t>(count, (int64_t(width_) - firstX + step - 1) / step);
  // The pixels of one block (contiguous in `rgba`) are summed in
  // registers, then added once. Red and blue times alpha share a word, as
  // do green times alpha and alpha, in halves of 32 bits: two products per
  // pixel instead of three, and a block's sums fit their halves as long as
  // it has fewer than 66052 pixels.
  auto addBlock = [](uint64_t* sum, const uchar* pixel, int pixels) {
    uint64_t redBlue = 0, greenAlpha = 0;
    for (int i = 0; i < pixels; ++i, pixel += 4) {
      const uint64_t alpha = pixel[3];
      redBlue += (pixel[0] | uint64_t(pixel[2]) << 32) * alpha;
      greenAlpha += (pixel[1] | uint64_t(1) << 32) * alpha;
    }
    sum[0] += redBlue & 0xffffffff;
    sum[1] += greenAlpha & 0xffffffff;
    sum[2] += redBlue >> 32;
    sum[3] += greenAlpha >> 32;
  };
  if (step == 1) {
    // Whole blocks of `factor_` pixels after the first, without dividing.
    int block = firstX / factor_;
    int pixels = std::min(count, (block + 1) * factor_ - firstX);
    for (int i = 0; i < count; i += pixels, ++block, pixels = std::min(count - i, factor_))
      addBlock(row + size_t(block) * 4, rgba + size_t(i) * 4, pixels);
    return;
  }
  int i = 0;
  while (i < count) {
    int x = firstX + i * step;
    int block = x / factor_;
    int blockEnd =
        std::min<int64_t>(count, (int64_t(block + 1) * factor_ - firstX + step - 1) / step);
    addBlock(row + size_t(block) * 4, rgba + size_t(i) * 4, blockEnd - i);
    i = blockEnd;
  }
}

QImage BoxReduction::image() const {
  QImage image(reducedWidth_, reducedHeight_, QImage::Format_RGBA8888_Premultiplied);
  if (image.isNull()) return image;
  for (int y = 0; y < reducedHeight_; ++y) {
    uint64_t blockHeight = uint64_t(std::min(factor_, height_ - y * factor_));
    const uint64_t* sum = sums_.data() + size_t(y) * size_t(reducedWidth_) * 4;
    uchar* out = image.scanLine(y);
    for (int x = 0; x < reducedWidth_; ++x, sum += 4, out += 4) {
      uint64_t pixels = blockHeight * uint64_t(std::min(factor_, width_ - x * factor_));
      uint64_t colorScale = pixels * 255;
      out[3] = uchar((sum[3] + pixels / 2) / pixels);
      for (int c = 0; c < 3; ++c)
        out[c] = uchar(std::min<uint64_t>((sum[c] + colorScale / 2) / colorScale, out[3]));
    }
  }
  return image;
}

}  // namespace io
