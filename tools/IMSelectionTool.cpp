// The selection tools' selection and gestures: the rectangle kept within the
// canvas, selecting, moving by mouse and arrows, and the double click that
// removes the selection. The mask is in IMSelectionToolMask.cpp, the outline
// drawing in IMSelectionToolDrawing.cpp.
#include "tools/IMSelectionTool.h"

#include "appkit/Cursor.h"
#include "appkit/Window.h"
#include "graphics/AffineTransform.h"
#include "model/ComposedImage.h"
#include "model/IMImagesUtilities.h"
#include "tools/IMSelectionGeometry.h"
#include "tools/IMToolsController.h"
#include "window/IMView.h"

void IMSelectionTool::setSelectedRect(const QRectF& rect) {
  IMToolsController* controller = toolsController();
  if (rect != selectedRect_) {
    if (controller) controller->willChangeValueForKey("selectedRect");
    saveSelectedRect();
    ComposedImage* image = controller ? controller->composedImage() : nullptr;
    selectedRect_ = image ? IMSelectionGeometry::intersectionRect(rect, image->rect()) : rect;
    // Arrow keys then reach the tools through the canvas.
    if (IMView* view = controller ? controller->mainView() : nullptr)
      if (ui::Window* window = ui::Window::ofWidget(view)) window->makeFirstResponder(view);
    if (controller) controller->didChangeValueForKey("selectedRect");
  }
  selectionChanged();
}

bool IMSelectionTool::hitTestAtPosition(const QPointF& point) const {
  return IMSelectionGeometry::pointInRect(point, selectedRect_);
}

void IMSelectionTool::selectionChanged() {
  IMView* view = toolsController() ? toolsController()->mainView() : nullptr;
  if (view) view->setNeedsDisplayInRect(clippingRect());
}

QRectF IMSelectionTool::clippingRect() const {
  IMView* view = toolsController() ? toolsController()->mainView() : nullptr;
  if (!view) return {};
  return IMSelectionGeometry::unionRect(view->transformRectFromDocumentToView(selectedRect_),
                                        view->transformRectFromDocumentToView(oldSelectedRect_));
}

QPointF IMSelectionTool::mouseDownLocation() const {
  return IMImagesUtilities::roundPoint(IMTool::mouseDownLocation());
}

QPointF IMSelectionTool::lastLocation() const {
  return IMImagesUtilities::roundPoint(IMTool::lastLocation());
}

// ---- Mouse ----

// A knob wins over the inside of the selection; a click elsewhere starts a
// new selection, and takes away the other selection tool's.
void IMSelectionTool::mouseDownAtLocation(const QPointF& location) {
  IMToolsController* controller = toolsController();
  if (controller && controller->hasSelection() && !hasSelection()) controller->deselect();
  mouseDownSelectedRect_ = selectedRect_;
  const QPointF p = IMImagesUtilities::roundPoint(location);
  if (shouldResizeWithPoint(location))
    startResizingAtPoint(p, location);
  else if (hitTestAtPosition(location))
    startMovingAtPoint(p);
  else
    startSelectingAtPoint(p);
  if (IMView* view = controller ? controller->mainView() : nullptr)
    view->setCursor(cursorWithModifierFlags(modifierFlags()));
}

void IMSelectionTool::mouseDraggedAtLocation(const QPointF& location) {
  const QPointF p = IMImagesUtilities::roundPoint(location);
  switch (trackingMode_) {
    case Resizing:
      return continueResizingAtPoint(p);
    case Moving:
      return continueMovingAtPoint(p);
    case Selecting:
      saveSelectedRect();
      return continueSelectingAtPoint(p);
    default:
      return;
  }
}

void IMSelectionTool::mouseUpAtLocation(const QPointF& location) {
  const QPointF p = IMImagesUtilities::roundPoint(location);
  if (trackingMode_ == Resizing) stopResizingAtPoint(p);
  if (trackingMode_ == Moving) stopMovingAtPoint(p);
  if (trackingMode_ == Selecting) stopSelectingAtPoint(p);
  loadSelectionMask();
}

// The gesture ends here without the mouse-up hooks: the tool goes back to
// idle, so its cursor rectangles and the marching ants come back.
void IMSelectionTool::mouseUp(const ui::Event& event) {
  if (event.clickCount() < 2) return IMTool::mouseUp(event);
  trackingMode_ = None;
  if (IMToolsController* controller = toolsController()) controller->deselect();
  returnToIdle();
}

// ---- Gestures ----

void IMSelectionTool::startSelectingAtPoint(const QPointF&) { trackingMode_ = Selecting; }

void IMSelectionTool::continueSelectingAtPoint(const QPointF& point) {
  saveSelectedRect();
  setSelectedRect(IMImagesUtilities::rectFromPoint(mouseDownLocation(), point));
}

void IMSelectionTool::stopSelectingAtPoint(const QPointF& point) {
  continueSelectingAtPoint(point);
  trackingMode_ = None;
}

void IMSelectionTool::startMovingAtPoint(const QPointF&) { trackingMode_ = Moving; }

// By the pointer's step since the last drag, stopping at the canvas's
// edges with the size kept. The outline keeps its shape, so the mask,
// placed at the rectangle's origin, stays right.
void IMSelectionTool::continueMovingAtPoint(const QPointF& point) {
  ComposedImage* image = toolsController() ? toolsController()->composedImage() : nullptr;
  QRectF r = selectedRect_;
  saveSelectedRect();
  r.translate(point - lastLocation());
  if (image) r = IMSelectionGeometry::clampedInside(r, image->rect());
  gfx::AffineTransform shift;
  shift.translateXBy(r.x() - selectedRect_.x(), r.y() - selectedRect_.y());
  selectedPath_.transformUsingAffineTransform(shift);
  setSelectedRect(r);
}

void IMSelectionTool::stopMovingAtPoint(const QPointF& point) {
  continueMovingAtPoint(point);
  trackingMode_ = None;
}

void IMSelectionTool::startResizingAtPoint(const QPointF&, const QPointF&) {
  trackingMode_ = Resizing;
}

void IMSelectionTool::stopResizingAtPoint(const QPointF& point) {
  continueResizingAtPoint(point);
  trackingMode_ = None;
}

// ---- Arrow keys ----

// Unclamped: the part pushed past the canvas's edge is lost, from the
// outline as from the rectangle, and the mask is made again for what is
// left, so what is shown is what fills and strokes reach.
void IMSelectionTool::moveDeltaX(double dx, double dy) {
  gfx::AffineTransform shift;
  shift.translateXBy(dx, dy);
  selectedPath_.transformUsingAffineTransform(shift);
  ComposedImage* image = toolsController() ? toolsController()->composedImage() : nullptr;
  if (image && !image->rect().contains(selectedPath_.bounds()))
    selectedPath_ = IMSelectionGeometry::pathCutToRect(selectedPath_, image->rect());
  setSelectedRect(selectedPath_.isEmpty() ? QRectF() : selectedPath_.bounds());
  loadSelectionMask();
}

QCursor IMSelectionTool::defaultCursor() const { return ui::Cursor::crosshairCursor(); }
