// The canvas's drawRect: background, grid, the delegate's document, then
// overlays in view space; and how it answers drops.
#include <cmath>

#include "foundation/UserDefaults.h"
#include "graphics/GraphicsContext.h"
#include "model/IMImagesUtilities.h"
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
  if (!forceCleanDrawing_) {
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
  // Only the view's own bitmap keeps a copy of the document, and only where
  // the dirty part falls on whole pixels of it.
  QImage* bitmap = painting_ && !forceCleanDrawing_ && context->isBitmap()
                       ? const_cast<QImage*>(context->bitmap())
                       : nullptr;
  const QRectF exact = rectToWidget(dirtyRect);
  const double scale = devicePixelRatioF();
  const QRectF scaled(exact.x() * scale, exact.y() * scale, exact.width() * scale,
                      exact.height() * scale);
  const QRect area = scaled.toRect();
  const bool whole = bitmap && QRectF(area) == scaled;
  const CanvasDocumentCache::Setup setup = cacheSetup(!disableInterpolation);
  if (whole && documentCache_.covers(setup, area)) {
    documentCache_.restore(*bitmap, area);
  } else {
    // Magnified without interpolation, the layers are composed apart first.
    if (!whole || disableInterpolation ||
        !drawAroundStroke(*bitmap, dirtyRect, area, setup, transform))
      drawDocument(dirtyRect, drawingRect, transform, disableInterpolation);
    if (whole)
      documentCache_.keep(setup, *bitmap, area);
    else if (bitmap)
      documentCache_.forget(QRegion(scaled.toAlignedRect()));
  }
  if (drawingDelegate_ && !forceCleanDrawing_)
    drawingDelegate_->notTransformedViewDrawingInRect(dirtyRect);
  context->setImageInterpolation(interpolation);
}

void IMView::drawDocument(const QRectF& dirtyRect, const QRectF& drawingRect,
                          const gfx::AffineTransform& transform, bool disableInterpolation) {
  gfx::GraphicsContext* context = gfx::GraphicsContext::current();
  QColor fill = Qt::white;
  if (forceCleanDrawing_)
    fill = noAlphaWhenForceCleanDrawing_ ? QColor(Qt::white) : QColor(0, 0, 0, 0);
  const bool magnifiedOnce =
      !forceCleanDrawing_ && disableInterpolation && context->isBitmap() && drawingDelegate_;
  // Cleared for a magnified composition, which brings its own background.
  if (magnifiedOnce) fill = QColor(0, 0, 0, 0);
  context->saveGState();
  {
    // The background, grid and layers are composited together a band at a
    // time when the context draws into a bitmap.
    gfx::ImageBatchScope batch(context);
    // Copy, so a clear fill leaves transparent pixels rather than blending.
    context->fillRect(dirtyRect, fill, gfx::CompositingOperation::Copy);
    if (!forceCleanDrawing_) context->concatCTM(transform);
    if (magnifiedOnce) {
      drawMagnifiedDocument(drawingRect);
    } else {
      if (!forceCleanDrawing_) drawGrid(drawingRect);
      if (drawingDelegate_)
        drawingDelegate_->viewDrawingRect(drawingRect, forceCleanDrawing_, disableInterpolation);
    }
  }
  context->restoreGState();
}

void IMView::drawGrid(const QRectF& drawingRect) {
  // On whole document pixels, so the squares stay on the document's pixel
  // grid whatever part is redrawn; the clip keeps it to the dirty part.
  if (showsGrid())
    CanvasGrid::drawBackGridWithSpacing(Settings::drawingGridSize(), Settings::drawingGridColor(),
                                        QRectF(drawingRect.toAlignedRect()), true);
}

// Magnified without interpolation, the canvas shows each pixel of the
// document as a block of view pixels: the document under the dirty part is
// composed once at its own resolution (a zoom-th of the view's pixels each
// way), as flattening composes it, and that one image is magnified, instead
// of every layer being magnified and blended at the view's resolution.
void IMView::drawMagnifiedDocument(const QRectF& drawingRect) {
  const QRectF pixels(drawingRect.toAlignedRect());
  gfx::ImagePtr composed = ima_imageWithPixelSize(pixels.size(), [&](const QRectF&) {
    gfx::GraphicsContext* context = gfx::GraphicsContext::current();
    if (!context) return false;
    context->setImageInterpolation(false);
    context->translateCTM(-pixels.x(), -pixels.y());
    gfx::ImageBatchScope batch(context);
    context->fillRect(pixels, Qt::white, gfx::CompositingOperation::Copy);
    drawGrid(pixels);
    drawingDelegate_->viewDrawingRect(pixels, false, true);
    return true;
  });
  // Over the cleared view, source-over leaves the composed pixels as they are.
  if (composed)
    composed->drawAtPoint(pixels.topLeft(), QRectF(QPointF(0, 0), pixels.size()),
                          gfx::CompositingOperation::SourceOver, 1.0);
}

CanvasDocumentCache::Setup IMView::cacheSetup(bool interpolation) const {
  CanvasDocumentCache::Setup setup;
  setup.transform = transformation().toQTransform();
  setup.origin = visibleRect().topLeft();
  setup.scale = devicePixelRatioF();
  setup.pixels =
      QSize(int(std::ceil(width() * setup.scale)), int(std::ceil(height() * setup.scale)));
  setup.grid = showsGrid();
  setup.interpolation = interpolation;
  return setup;
}

unsigned IMView::draggingEntered(ui::DraggingInfo& info) {
  return draggingDestination_ ? draggingDestination_->draggingEntered(info) : ui::DragOperationNone;
}

bool IMView::performDragOperation(ui::DraggingInfo& info) {
  return draggingDestination_ && draggingDestination_->performDragOperation(info);
}
