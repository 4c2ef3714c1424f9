// The canvas's drawRect: background, grid, the delegate's document, then
// overlays in view space; and how it answers drops.
#include "foundation/UserDefaults.h"
#include "graphics/GraphicsContext.h"
#include "model/Settings.h"
#include "window/CanvasGeometry.h"
#include "window/CanvasGrid.h"
#include "window/IMView.h"

bool IMView::isOpaque() const { return forceCleanDrawing_ || ui::View::isOpaque(); }

void IMView::drawRect(const QRectF& dirtyRect) {
  gfx::GraphicsContext* context = gfx::GraphicsContext::current();
  if (!context) return;
  const bool interpolation = context->imageInterpolation();
  QRectF drawingRect = dirtyRect;
  bool disableInterpolation = false;
  gfx::AffineTransform transform;
  QColor fill = Qt::white;
  if (forceCleanDrawing_) {
    fill = noAlphaWhenForceCleanDrawing_ ? QColor(Qt::white) : QColor(0, 0, 0, 0);
  } else {
    const bool preferred =
        fnd::UserDefaults::standardUserDefaults().boolForKey("ImageInterpolationPrefKey");
    if (CanvasGeometry::disablesInterpolation(preferred, sizeDelegate_ ? sizeDelegate_->zoom() : 0,
                                              backingScaleFactor())) {
      context->setImageInterpolation(false);
      disableInterpolation = true;
    }
    transform = transformation();
    drawingRect = zoomededRect(dirtyRect, true);
  }
  // The background, grid and layers are composited together a band at a
  // time when the context draws into a bitmap.
  gfx::ImageBatchScope batch(context);
  // Copy, so a clear fill leaves transparent pixels rather than blending.
  context->fillRect(dirtyRect, fill, gfx::CompositingOperation::Copy);
  if (!forceCleanDrawing_) {
    context->concatCTM(transform);
    // On whole document pixels, so the squares stay on the document's pixel
    // grid whatever part is redrawn; the clip keeps it to the dirty part.
    if (showsGrid())
      CanvasGrid::drawBackGridWithSpacing(Settings::drawingGridSize(), Settings::drawingGridColor(),
                                          QRectF(drawingRect.toAlignedRect()), true);
  }
  if (drawingDelegate_) {
    drawingDelegate_->viewDrawingRect(drawingRect, forceCleanDrawing_, disableInterpolation);
    if (!forceCleanDrawing_) {
      context->concatCTM(transform.inverted());
      drawingDelegate_->notTransformedViewDrawingInRect(dirtyRect);
    }
  }
  context->setImageInterpolation(interpolation);
}

unsigned IMView::draggingEntered(ui::DraggingInfo& info) {
  return draggingDestination_ ? draggingDestination_->draggingEntered(info) : ui::DragOperationNone;
}

bool IMView::performDragOperation(ui::DraggingInfo& info) {
  return draggingDestination_ && draggingDestination_->performDragOperation(info);
}
