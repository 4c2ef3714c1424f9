#include "tools/IMMagicEraser.h"

#include "appkit/Cursor.h"
#include "model/Layer.h"
#include "tools/IMToolImages.h"
#include "tools/IMToolsController.h"

bool IMMagicEraser::isUsable() {
  Layer* layer = toolsController() ? toolsController()->workingLayer() : nullptr;
  return layer && layer->visible() && !layer->isEmpty() && !layer->isText();
}

gfx::ImagePtr IMMagicEraser::logo() const {
  return IMToolImages::imageNamed("backgroundEraserTemplate");
}

QCursor IMMagicEraser::defaultCursor() const { return ui::Cursor::crosshairCursor(); }
