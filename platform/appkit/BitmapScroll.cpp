#include "appkit/BitmapScroll.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace ui {

// Row by row in the order that never reads a row already overwritten; each
// row's own overlap is left to memmove.
void scrollBitmapPixels(QImage& image, const QPoint& shift) {
  const int width = image.width(), height = image.height();
  if (image.isNull() || shift.isNull() || std::abs(shift.x()) >= width ||
      std::abs(shift.y()) >= height)
    return;
  const int bytesPerPixel = image.depth() / 8;
  const size_t length = size_t(width - std::abs(shift.x())) * bytesPerPixel;
  const int fromX = std::max(0, -shift.x()) * bytesPerPixel;
  const int toX = std::max(0, shift.x()) * bytesPerPixel;
  const int rows = height - std::abs(shift.y());
  uchar* bits = image.bits();  // detaches once, outside the loop
  const qsizetype stride = image.bytesPerLine();
  for (int i = 0; i < rows; ++i) {
    const int to = shift.y() > 0 ? height - 1 - i : i;
    const int from = to - shift.y();
    std::memmove(bits + to * stride + toX, bits + from * stride + fromX, length);
  }
}

}  // namespace ui
