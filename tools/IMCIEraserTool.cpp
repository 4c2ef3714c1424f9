#include "tools/IMCIEraserTool.h"

#include "appkit/Cursor.h"
#include "model/Layer.h"
#include "tools/IMToolImages.h"
#include "tools/IMToolsController.h"

bool IMCIEraserTool::isUsable() {
  Layer* layer = toolsController() ? toolsController()->workingLayer() : nullptr;
  return layer && CIToolIsUsable() && !layer->isEmpty();
}

gfx::ImagePtr IMCIEraserTool::logo() const { return IMToolImages::imageNamed("eraserTemplate"); }

QCursor IMCIEraserTool::defaultCursor() const { return ui::Cursor::crosshairCursor(); }
