// The canvas's redraws during a stroke. Only the painted layer changes from
// one drag to the next, so what lies below it (background, grid and the
// lower layers) is composed once per part of the view the stroke reaches
// and kept; each redraw copies that back and draws the painted layer and
// those above it. The layers are composited one after the other onto the
// 8-bit bitmap, so starting the upper ones from the kept pixels gives the
// very bytes a full redraw gives.
#include "graphics/GraphicsContext.h"
#include "window/IMView.h"

bool IMView::drawAroundStroke(QImage& bitmap, const QRectF& dirtyRect, const QRect& area,
                              const CanvasDocumentCache::Setup& setup,
                              const gfx::AffineTransform& transform) {
  const void* painted = drawingDelegate_ ? drawingDelegate_->paintedLayer() : nullptr;
  if (painted != belowStrokeLayer_) {
    // A new stroke, or none: what was kept lies below another layer.
    belowStroke_.clear();
    belowStrokeLayer_ = painted;
  }
  if (!painted) return false;
  // Composed where the stroke first reaches, so its first redraw costs no
  // more than a full one, and the copy grows only as far as the stroke goes.
  const QRegion missing = QRegion(area) - belowStroke_.keptIn(setup, area);
  QRegion restored(area);
  if (!missing.isEmpty()) {
    const QRect part = missing.boundingRect();
    const QRectF partInView = viewRectOfBitmapPixels(part);
    if (partInView.isEmpty()) return false;
    drawLayers(partInView, transform, IMViewDrawingDelegate::Layers::BelowPainted);
    belowStroke_.keep(setup, bitmap, part);
    restored -= part;
  }
  for (const QRect& part : restored) belowStroke_.restore(bitmap, part);
  drawLayers(dirtyRect, transform, IMViewDrawingDelegate::Layers::FromPainted);
  return true;
}

// As drawDocument draws, interpolating: the lower layers over the white
// background and the grid, the upper ones over what lies there already.
void IMView::drawLayers(const QRectF& dirtyRect, const gfx::AffineTransform& transform,
                        IMViewDrawingDelegate::Layers layers) {
  gfx::GraphicsContext* context = gfx::GraphicsContext::current();
  const bool below = layers == IMViewDrawingDelegate::Layers::BelowPainted;
  context->saveGState();
  context->clipToRect(dirtyRect);
  {
    gfx::ImageBatchScope batch(context);
    if (below) context->fillRect(dirtyRect, Qt::white, gfx::CompositingOperation::Copy);
    context->concatCTM(transform);
    const QRectF drawingRect = zoomededRect(dirtyRect, true);
    if (below) drawGrid(drawingRect);
    drawingDelegate_->viewDrawingLayersInRect(drawingRect, layers, false);
  }
  context->restoreGState();
}

QRectF IMView::viewRectOfBitmapPixels(const QRect& area) const {
  const double scale = devicePixelRatioF();
  const QRectF widget(area.x() / scale, area.y() / scale, area.width() / scale,
                      area.height() / scale);
  const QRectF view = rectFromWidget(widget);
  const QRectF back = rectToWidget(view);
  const QRectF pixels(back.x() * scale, back.y() * scale, back.width() * scale,
                      back.height() * scale);
  return pixels == QRectF(area) ? view : QRectF();
}
