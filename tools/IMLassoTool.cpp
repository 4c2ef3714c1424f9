#include "tools/IMLassoTool.h"

#include <algorithm>

#include "appkit/Cursor.h"
#include "model/ComposedImage.h"
#include "tools/IMSelectionGeometry.h"
#include "tools/IMToolImages.h"
#include "tools/IMToolsController.h"

gfx::ImagePtr IMLassoTool::logo() const {
  return IMToolImages::imageNamed("selection_lassoTemplate");
}

QCursor IMLassoTool::defaultCursor() const { return ui::Cursor::crosshairCursor(); }

QRectF IMLassoTool::clippingRect() const {
  return IMSelectionTool::clippingRect().adjusted(-1, -1, 1, 1);
}

bool IMLassoTool::hitTestAtPosition(const QPointF& point) const {
  return hasSelection() && selectedPath().containsPoint(point);
}

// No selection yet: a lone point has no size.
void IMLassoTool::startSelectingAtPoint(const QPointF& point) {
  IMSelectionTool::startSelectingAtPoint(point);
  gfx::BezierPath path;
  path.moveToPoint(point);
  setSelectedPath(path);
  setSelectedRect(path.bounds());
}

// Points off the canvas run along its border.
void IMLassoTool::continueSelectingAtPoint(const QPointF& point) {
  saveSelectedRect();
  QPointF p = point;
  if (ComposedImage* image = toolsController() ? toolsController()->composedImage() : nullptr) {
    const QRectF r = image->rect();
    p.setX(std::min(std::max(p.x(), r.x()), r.x() + r.width()));
    p.setY(std::min(std::max(p.y(), r.y()), r.y() + r.height()));
  }
  lineFollowingPixelsToPoint(mutableSelectedPath(), p);
  setSelectedRect(selectedPath().bounds());
}

// A track that encloses nothing leaves no selection and no outline.
void IMLassoTool::stopSelectingAtPoint(const QPointF& point) {
  IMSelectionTool::stopSelectingAtPoint(point);
  if (!hasSelection()) return setSelectedPath(gfx::BezierPath());
  lineFollowingPixelsToPoint(mutableSelectedPath(), mouseDownLocation());
  mutableSelectedPath().closePath();
}
