#include "tools/IMTamponTool.h"

#include "appkit/Cursor.h"
#include "model/Layer.h"
#include "tools/IMToolImages.h"
#include "tools/IMToolsController.h"

bool IMTamponTool::isUsable() {
  Layer* layer = toolsController() ? toolsController()->workingLayer() : nullptr;
  return layer && CIToolIsUsable() && !layer->isEmpty();
}

bool IMTamponTool::isUsableAtLocation(const QPointF& location) {
  return altPressed() || IMCITool::isUsableAtLocation(location);
}

gfx::ImagePtr IMTamponTool::logo() const {
  return IMToolImages::imageNamed("duplicationToolTemplate");
}

QCursor IMTamponTool::defaultCursor() const {
  const QImage image = IMToolImages::pixelsOf(IMToolImages::imageNamed("duplicationTool"));
  const double height = image.height() / image.devicePixelRatio();
  return ui::Cursor::cursorWithImage(image, QPointF(3, height - 2));
}

QCursor IMTamponTool::altCursor() const { return ui::Cursor::crosshairCursor(); }
