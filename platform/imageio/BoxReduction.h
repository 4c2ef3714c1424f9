// Makes a reduced image while a decoder delivers full-size rows, without
// holding the full image: every pixel adds its premultiplied colour to the
// sum of the `factor`×`factor` block it falls in, in any order (so
// interlaced passes work too), and image() divides each sum by the pixels
// its block holds.
#pragma once

#include <QImage>
#include <cstdint>
#include <vector>

namespace io {

class BoxReduction {
 public:
  // The largest factor that keeps the longer side of a `width`×`height`
  // image at least `minimumLongerSide`; 1 when no reduction is asked for.
  static int factorFor(int64_t width, int64_t height, int minimumLongerSide);
  // The bytes a reduction of a `width`×`height` image by `factor` holds
  // while it runs.
  static uint64_t workingBytes(int64_t width, int64_t height, int factor);

  BoxReduction(int width, int height, int factor);

  QSize reducedSize() const { return {reducedWidth_, reducedHeight_}; }
  // Adds `count` straight-alpha RGBA8888 pixels of full-size row `y`; pixel
  // i lies at x = `firstX` + i × `step`.
  // Rows that fall in different reduced rows may be added from different
  // threads at once.
  void addRow(int y, const uchar* rgba, int count, int firstX = 0, int step = 1);
  // The averages as premultiplied RGBA8888.
  QImage image() const;

 private:
  int width_, height_, factor_;
  int reducedWidth_, reducedHeight_;
  // Per reduced pixel: red, green and blue times alpha, and alpha.
  std::vector<uint64_t> sums_;
};

}  // namespace io
