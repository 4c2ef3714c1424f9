#include "SelectionSupport.h"

#include "TestSupport.h"
#include "graphics/CGImage.h"
#include "graphics/Image.h"
#include "model/ComposedImage.h"
#include "model/IMImagesUtilities.h"
#include "model/Image.h"
#include "model/Layer.h"
#include "window/IMWindowController.h"

namespace seltest {

namespace {

QImage pixelsOf(const gfx::ImagePtr& image) {
  if (!image) return {};
  gfx::CGImagePtr pixels = image->CGImageForProposedRect(nullptr, nullptr);
  return pixels ? pixels->toFormat(QImage::Format_ARGB32) : QImage();
}

}  // namespace

// Undo and redo bring pixel versions back from the image cache on the
// document's queue; the document is read once they are back.
QImage flatten(ToolWindow& w) {
  ComposedImage* composed = w.window->composedImage();
  tst::spinUntil([&] {
    for (Layer* layer : composed->layersArray())
      if (layer->image() && !layer->image()->isCurrentVersionInMemory()) return false;
    return true;
  });
  return pixelsOf(w.window->composedImage()->finalImageKeepAlpha(true));
}

QImage render(const ci::Image& image, QSize size) {
  return pixelsOf(ima_nsImageWithSize(image.imageByCroppingToRect(QRectF(QPointF(), size)), size));
}

QColor colorAt(const QImage& image, double x, double y) {
  return image.pixelColor(int(x), image.height() - 1 - int(y));
}

}  // namespace seltest
