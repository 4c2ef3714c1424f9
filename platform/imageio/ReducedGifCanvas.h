// The canvas a GIF's frames are composed on, kept `factor` times smaller on
// each side for a thumbnail, so the full-size canvas never exists. Each
// reduced pixel stands for a block of full-size pixels: a frame covering
// part of a block replaces that share of it (the block's old colour is
// taken as even across it), which is exact for the first frame and for
// frames that cover whole blocks.
#pragma once

#include <QImage>
#include <QRect>
#include <cstdint>
#include <vector>

namespace io {

class ReducedGifCanvas {
 public:
  // The bytes a canvas of a `width`×`height` screen reduced by `factor`
  // holds, with the image it makes.
  static uint64_t workingBytes(int width, int height, int factor);

  ReducedGifCanvas(int width, int height, int factor);

  // Adds `count` RGBA8888 pixels of full-size row `y` of the frame being
  // painted, starting at `left`; pixels are opaque (alpha 255) or clear
  // (alpha 0, leaving the canvas be).
  void addFrameRow(int y, int left, const uchar* rgba, int count);
  // Puts the frame's pixels added since the last call onto the canvas.
  void finishFrame();
  // Makes the full-size area `rect` transparent.
  void clear(const QRect& rect);

  // Premultiplied RGBA8888.
  QImage image() const;

 private:
  struct Block {
    float color[4];  // premultiplied, 0–255
  };
  struct Paint {
    float sum[4];
    uint32_t count;
  };
  int blockArea(int column, int row) const;

  int width_, height_, factor_;
  int columns_, rows_;
  std::vector<Block> canvas_;
  std::vector<Paint> frame_;
  QRect painted_;  // reduced blocks the frame touched
};

}  // namespace io
