#include "tools/IMPencilTool.h"

#include "appkit/Cursor.h"
#include "tools/IMToolImages.h"

gfx::ImagePtr IMPencilTool::logo() const { return IMToolImages::imageNamed("brushTemplate"); }

QCursor IMPencilTool::defaultCursor() const {
  const QImage image = IMToolImages::pixelsOf(IMToolImages::imageNamed("brushTool"));
  const double height = image.height() / image.devicePixelRatio();
  return ui::Cursor::cursorWithImage(image, QPointF(3, height - 2));
}
