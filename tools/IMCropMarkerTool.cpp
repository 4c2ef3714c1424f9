#include "tools/IMCropMarkerTool.h"

#include "appkit/Cursor.h"
#include "tools/IMToolImages.h"

gfx::ImagePtr IMCropMarkerTool::logo() const {
  return IMToolImages::imageNamed("selectionTemplate");
}

QCursor IMCropMarkerTool::defaultCursor() const {
  return isInUse() ? ui::Cursor::arrowCursor() : ui::Cursor::crosshairCursor();
}
