#include "tools/IMSelectionTool.h"

#include "appkit/Cursor.h"
#include "appkit/Window.h"
#include "model/ComposedImage.h"
#include "tools/IMToolsController.h"
#include "window/IMView.h"

void IMSelectionTool::setSelectedRect(const QRectF& rect) {
  IMToolsController* controller = toolsController();
  if (rect != selectedRect_) {
    if (controller) controller->willChangeValueForKey("selectedRect");
    saveSelectedRect();
    ComposedImage* image = controller ? controller->composedImage() : nullptr;
    selectedRect_ = image ? rect.intersected(image->rect()) : rect;
    // Arrow keys then reach the tools through the canvas.
    if (IMView* view = controller ? controller->mainView() : nullptr)
      if (ui::Window* window = ui::Window::ofWidget(view)) window->makeFirstResponder(view);
    if (controller) controller->didChangeValueForKey("selectedRect");
  }
  selectionChanged();
}

bool IMSelectionTool::hitTestAtPosition(const QPointF& point) const {
  return selectedRect_.contains(point);
}

void IMSelectionTool::selectionChanged() {
  IMView* view = toolsController() ? toolsController()->mainView() : nullptr;
  if (view) view->setNeedsDisplayInRect(clippingRect());
}

ci::Image IMSelectionTool::selectionMaskWithSize(const QSize&) const { return ci::Image(); }

QRectF IMSelectionTool::clippingRect() const {
  IMView* view = toolsController() ? toolsController()->mainView() : nullptr;
  if (!view) return {};
  return view->transformRectFromDocumentToView(selectedRect_)
      .united(view->transformRectFromDocumentToView(oldSelectedRect_));
}

void IMSelectionTool::moveDeltaX(double dx, double dy) {
  setSelectedRect(selectedRect_.translated(dx, dy));
}

QCursor IMSelectionTool::defaultCursor() const { return ui::Cursor::crosshairCursor(); }
