#include "tools/IMLassoTool.h"

#include "tools/IMToolImages.h"

gfx::ImagePtr IMLassoTool::logo() const {
  return IMToolImages::imageNamed("selection_lassoTemplate");
}

QRectF IMLassoTool::clippingRect() const {
  return IMSelectionTool::clippingRect().adjusted(-1, -1, 1, 1);
}
