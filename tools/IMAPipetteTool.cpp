#include "tools/IMAPipetteTool.h"

#include "appkit/Cursor.h"
#include "tools/IMToolImages.h"

gfx::ImagePtr IMAPipetteTool::logo() const { return IMToolImages::imageNamed("pipetteTemplate"); }

QCursor IMAPipetteTool::defaultCursor() const {
  static const QCursor cursor = [] {
    const QImage image = IMToolImages::pixelsOf(IMToolImages::imageNamed("pipetteTemplate"));
    return ui::Cursor::cursorWithImage(image,
                                       QPointF(1, image.height() / image.devicePixelRatio() - 1));
  }();
  return cursor;
}
