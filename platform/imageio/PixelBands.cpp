#include "imageio/PixelBands.h"

#include <algorithm>

#include "imageio/CodecSupport.h"

namespace io {

namespace {

QImage::Format targetFormat(bool alpha, int depth, bool gray) {
  if (gray) return depth == 16 ? QImage::Format_Grayscale16 : QImage::Format_Grayscale8;
  if (depth == 16) return alpha ? QImage::Format_RGBA64 : QImage::Format_RGBX64;
  return alpha ? QImage::Format_RGBA8888 : QImage::Format_RGBX8888;
}

}  // namespace

PixelBands::PixelBands(const gfx::CGImage& image, bool alpha, int depth, bool gray)
    : source_(image.qImage()),
      alpha_(alpha),
      gray_(gray),
      depth_(depth),
      width_(source_.width()),
      height_(source_.height()) {
  // Dropping alpha from an image that has some rewrites every row, even
  // when the layouts match.
  direct_ = source_.format() == targetFormat(alpha, depth, gray) &&
            !(!gray && !alpha && source_.hasAlphaChannel());
}

const uchar* PixelBands::row(int y) {
  if (direct_) return source_.constScanLine(y);
  if (bandFirst_ < 0 || y < bandFirst_ || y >= bandFirst_ + band_.height()) convertBand(y);
  return band_.constScanLine(y - bandFirst_);
}

void PixelBands::convertBand(int first) {
  const int rows = std::min(kBandRows, height_ - first);
  // A view of the source's rows, not a copy: the conversion reads them in place.
  QImage view(source_.constScanLine(first), width_, rows, source_.bytesPerLine(), source_.format());
  if (source_.format() == QImage::Format_Indexed8 || source_.format() == QImage::Format_Mono ||
      source_.format() == QImage::Format_MonoLSB)
    view.setColorTable(source_.colorTable());
  band_ = codec::pixels(view, alpha_, depth_, gray_);
  bandFirst_ = first;
}

}  // namespace io
