// An image's pixels in the layout an encoder takes, brought over a band of
// rows at a time: encoding a large image then holds one band of converted
// rows, not a converted copy of the whole image beside the original.
#pragma once

#include <QImage>

#include "graphics/CGImage.h"

namespace io {

class PixelBands {
 public:
  // The layout codec::pixels() gives for the same arguments; `image` must
  // outlive the bands.
  PixelBands(const gfx::CGImage& image, bool alpha, int depth, bool gray = false);

  int width() const { return width_; }
  int height() const { return height_; }
  // Row `y` (0 ≤ y < height) in the encoder's layout. The pointer stays
  // valid until a row outside the current band is asked for; rows asked in
  // order are converted once each.
  const uchar* row(int y);

 private:
  static constexpr int kBandRows = 64;

  void convertBand(int first);

  const QImage& source_;
  bool alpha_, gray_;
  int depth_;
  int width_, height_;
  // Whether the source rows are already in the encoder's layout.
  bool direct_ = false;
  QImage band_;
  int bandFirst_ = -1;
};

}  // namespace io
