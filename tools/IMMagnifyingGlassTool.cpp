#include "tools/IMMagnifyingGlassTool.h"

#include "appkit/Cursor.h"
#include "tools/IMToolImages.h"

namespace {

QCursor glassCursor(const char* name) {
  const QImage image = IMToolImages::pixelsOf(IMToolImages::imageNamed(name));
  return ui::Cursor::cursorWithImage(image,
                                     QPointF(8, image.height() / image.devicePixelRatio() - 15));
}

}  // namespace

gfx::ImagePtr IMMagnifyingGlassTool::logo() const {
  return IMToolImages::imageNamed("magnyfyingGlassTemplate");
}

QCursor IMMagnifyingGlassTool::defaultCursor() const {
  return glassCursor("magnyfyingGlassZoomIn");
}

QCursor IMMagnifyingGlassTool::altCursor() const { return glassCursor("magnyfyingGlassZoomOut"); }
