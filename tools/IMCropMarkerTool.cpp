#include "tools/IMCropMarkerTool.h"

#include "appkit/Cursor.h"
#include "appkit/core/Beep.h"
#include "model/ComposedImage.h"
#include "tools/IMToolImages.h"
#include "tools/IMToolsController.h"

gfx::ImagePtr IMCropMarkerTool::logo() const {
  return IMToolImages::imageNamed("selectionTemplate");
}

QCursor IMCropMarkerTool::defaultCursor() const {
  return isInUse() ? ui::Cursor::arrowCursor() : ui::Cursor::crosshairCursor();
}

void IMCropMarkerTool::selectAll() {
  ComposedImage* image = toolsController() ? toolsController()->composedImage() : nullptr;
  if (image) setSelectedRect(image->rect());
}

// Cropping arrives with the selection tools' own work; until then the
// command says it did nothing.
void IMCropMarkerTool::nonDestructiveCropLayers(const QList<Layer*>&) { ui::beep(); }
