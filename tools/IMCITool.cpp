#include "tools/IMCITool.h"

#include "model/Layer.h"
#include "model/Settings.h"
#include "tools/IMToolsController.h"
#include "window/IMLayersArrayController.h"
#include "window/IMWindowController.h"

bool IMCITool::CIToolIsUsable() const {
  Layer* layer = toolsController() ? toolsController()->workingLayer() : nullptr;
  return layer && layer->visible() && layer->isCoreImage() && !layer->isText();
}

double IMCITool::toolSize() const {
  std::shared_ptr<Settings> s = settings();
  return s ? s->pencilSize() : 0;
}

bool IMCITool::isUsableAtLocation(const QPointF& location) {
  IMWindowController* window = toolsController() ? toolsController()->windowController() : nullptr;
  if (!window) return false;
  const QRectF workable = window->workableRectWithInset(toolSize());
  return !workable.isEmpty() && workable.contains(location) && CIToolIsUsable();
}

// Painting never lands on text or a hidden layer: a new bitmap layer
// becomes the working layer then, made inside the edit's undo group.
void IMCITool::willFindLocationInMouseDown() {
  IMLayersArrayController* layers =
      toolsController() ? toolsController()->layersController() : nullptr;
  if (!layers) return;
  if (layers->atLeastOneLayerSelected() && CIToolIsUsable()) return;
  layers->obtainANewLayerIsText(false);
}
