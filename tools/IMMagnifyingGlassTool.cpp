#include "tools/IMMagnifyingGlassTool.h"

#include <cmath>

#include "appkit/Cursor.h"
#include "appkit/ScrollView.h"
#include "tools/IMToolImages.h"
#include "tools/IMToolsController.h"
#include "window/IMView.h"
#include "window/IMWindowController.h"

namespace {

QCursor glassCursor(const char* name) {
  const QImage image = IMToolImages::pixelsOf(IMToolImages::imageNamed(name));
  return ui::Cursor::cursorWithImage(image,
                                     QPointF(8, image.height() / image.devicePixelRatio() - 15));
}

}  // namespace

gfx::ImagePtr IMMagnifyingGlassTool::logo() const {
  return IMToolImages::imageNamed("magnyfyingGlassTemplate");
}

QCursor IMMagnifyingGlassTool::defaultCursor() const {
  return glassCursor("magnyfyingGlassZoomIn");
}

QCursor IMMagnifyingGlassTool::altCursor() const { return glassCursor("magnyfyingGlassZoomOut"); }

void IMMagnifyingGlassTool::mouseUpAtLocation(const QPointF& location) {
  IMToolsController* controller = toolsController();
  IMWindowController* window = controller ? controller->windowController() : nullptr;
  IMView* view = controller ? controller->mainView() : nullptr;
  if (!window || !view) return;
  const double zoom = window->zoom();
  const double newZoom = zoom * std::pow(2.0, coef());
  view->setZoomPoint(zoomPointKeeping(location, view, zoom, newZoom));
  window->setZoom(newZoom);
}

// The window brings its zoom point to the middle of the visible area. For
// the clicked point to stay under the pointer instead, the zoom point is
// the one whose centring leaves the click where it was on screen.
QPointF IMMagnifyingGlassTool::zoomPointKeeping(const QPointF& location, IMView* view, double zoom,
                                                double newZoom) {
  ui::ScrollView* scrollView = view->enclosingScrollView();
  if (!scrollView || zoom <= 0 || newZoom <= 0) return location;
  const QRectF visible = scrollView->documentVisibleRect();
  const QPointF onScreen = location - visible.topLeft();
  const QPointF middle(visible.width() / 2, visible.height() / 2);
  return location - (onScreen - middle) * (zoom / newZoom);
}
