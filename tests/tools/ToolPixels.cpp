#include "ToolPixels.h"

#include "TestSupport.h"
#include "model/ComposedImage.h"
#include "model/Image.h"
#include "model/Layer.h"
#include "tools/IMToolImages.h"

namespace tooltest {

// An undone image comes back from its stored version a moment later.
QColor layerColorAt(Layer* layer, int x, int y) {
  tst::spinUntil([&] { return !layer->image() || layer->image()->isCurrentVersionInMemory(); });
  const QImage pixels = IMToolImages::pixelsOf(layer->image()->nsImage());
  const int col = x - int(layer->xOrigin());
  const int row = pixels.height() - 1 - (y - int(layer->yOrigin()));
  if (col < 0 || row < 0 || col >= pixels.width() || row >= pixels.height())
    return QColor(0, 0, 0, 0);
  return pixels.pixelColor(col, row);
}

QImage flattened(ComposedImage* image) {
  return IMToolImages::pixelsOf(image->finalImageKeepAlpha(true));
}

QColor flattenedColorAt(const QImage& flattened, int x, int y) {
  return flattened.pixelColor(x, flattened.height() - 1 - y);
}

}  // namespace tooltest
