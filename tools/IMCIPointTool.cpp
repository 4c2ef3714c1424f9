#include "tools/IMCIPointTool.h"

#include "appkit/Cursor.h"
#include "tools/IMToolImages.h"

gfx::ImagePtr IMCIPointTool::logo() const { return IMToolImages::imageNamed("CIPointTool"); }

// The hot spot at the image's centre.
QCursor IMCIPointTool::defaultCursor() const {
  const QImage image = IMToolImages::pixelsOf(logo());
  const double scale = image.devicePixelRatio();
  return ui::Cursor::cursorWithImage(
      image, QPointF(image.width() / scale / 2, image.height() / scale / 2));
}
