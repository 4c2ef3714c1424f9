// The canvas's cursor rectangles: the current tool's cursor over the
// visible image, the not-allowed cursor where it cannot work, and the open
// hand over a rectangle selection.
#include "appkit/Cursor.h"
#include "appkit/ScrollView.h"
#include "model/ComposedImage.h"
#include "tools/IMCITool.h"
#include "tools/IMCropMarkerTool.h"
#include "tools/IMTamponTool.h"
#include "tools/IMToolsController.h"
#include "window/IMView.h"
#include "window/IMWindowController.h"

namespace {

// Changing tools rebuilds the rectangles, and enabling may change tools:
// an inner rebuild leaves the work to the outer one.
bool resetting = false;

}  // namespace

void IMToolsController::resetCursorRects() {
  if (resetting || !windowController_) return;
  resetting = true;
  updateEnablingOfTools();
  resetting = false;
  IMTool* tool = selectedTool();
  IMView* view = mainView();
  ComposedImage* image = composedImage();
  ui::ScrollView* scrollView = windowController_->graphicScrollView();
  if (!tool || !view || !image || !scrollView) return;
  const bool rectangleTool = dynamic_cast<IMCropMarkerTool*>(tool) != nullptr;
  if (rectangleTool && tool->isInUse()) return;
  const QRectF visible = scrollView->documentVisibleRect();
  const QRectF onImage = visible.intersected(view->transformRectFromDocumentToView(image->rect()));
  const QRectF onSelection =
      visible.intersected(view->transformRectFromDocumentToView(selectedRect()));
  if (!tool->isUsable())
    return view->addCursorRect(onImage, ui::Cursor::operationNotAllowedCursor());
  const bool stampSource =
      dynamic_cast<IMTamponTool*>(tool) && (modifierFlags_ & ui::AlternateKeyMask);
  const QCursor cursor = tool->cursorWithModifierFlags(modifierFlags_);
  if (dynamic_cast<IMCITool*>(tool) && hasSelection() && !stampSource) {
    view->addCursorRect(onImage, ui::Cursor::operationNotAllowedCursor());
    view->addCursorRect(onSelection, cursor);
  } else {
    view->addCursorRect(onImage, cursor);
  }
  if (hasSelection() && rectangleTool) {
    view->addCursorRect(onSelection.adjusted(1, 1, -1, -1), ui::Cursor::openHandCursor());
    auto* rectTool = static_cast<IMCropMarkerTool*>(tool);
    rectTool->performBlockOnHandles(
        [rectTool](const QPointF& point) { rectTool->addCursorRectForHandleAtPoint(point); });
  }
}
