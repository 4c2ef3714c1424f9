#include "tools/IMTextTool.h"

#include "appkit/Cursor.h"
#include "model/TextLayer.h"
#include "tools/IMLayerDragingTool.h"
#include "tools/IMToolImages.h"
#include "tools/IMToolsController.h"
#include "window/IMLayersArrayController.h"

gfx::ImagePtr IMTextTool::logo() const { return IMToolImages::imageNamed("textTemplate"); }

QCursor IMTextTool::defaultCursor() const { return ui::Cursor::IBeamCursor(); }

void IMTextTool::willFindLocationInMouseDown() {
  IMLayersArrayController* layers =
      toolsController() ? toolsController()->layersController() : nullptr;
  if (layers) layers->obtainANewLayerIsText(true);
}

void IMTextTool::mouseUpAtLocation(const QPointF& location) {
  IMToolsController* controller = toolsController();
  if (!controller) return;
  auto* text = dynamic_cast<TextLayer*>(controller->workingLayer());
  if (text) text->setOrigin({location.x(), location.y() + text->textMaxDescender()});
  controller->selectToolOfClass<IMLayerDragingTool>();
  if (text)
    if (IMLayersArrayController* layers = controller->layersController())
      layers->highlightCurrentSelectedLayerNameField();
}
