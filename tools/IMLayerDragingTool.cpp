#include "tools/IMLayerDragingTool.h"

#include "appkit/Cursor.h"
#include "tools/IMToolImages.h"
#include "tools/IMToolsController.h"
#include "window/IMLayersArrayController.h"

bool IMLayerDragingTool::isUsable() {
  IMLayersArrayController* layers =
      toolsController() ? toolsController()->layersController() : nullptr;
  return layers && layers->atLeastOneLayerVisible();
}

gfx::ImagePtr IMLayerDragingTool::logo() const { return IMToolImages::imageNamed("arrowTemplate"); }

QCursor IMLayerDragingTool::defaultCursor() const { return ui::Cursor::arrowCursor(); }

QCursor IMLayerDragingTool::altCursor() const { return ui::Cursor::dragCopyCursor(); }
