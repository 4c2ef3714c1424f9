#include "window/IMView.h"

#include <QAbstractScrollArea>
#include <QPaintEvent>
#include <cmath>

#include "appkit/ClipView.h"
#include "appkit/ScrollView.h"
#include "foundation/UserDefaults.h"
#include "window/CanvasGeometry.h"

IMView::IMView(const QRectF& frame, QWidget* parent) : ui::View(frame, parent) {
  // Layers composite with every operation, which needs the pixels below.
  setDrawsThroughBitmap(true);
  setPaintsEveryPixel(true);
  setFocusPolicy(Qt::ClickFocus);
  // Ctrl with the wheel zooms and rotates as a touchpad's fingers do.
  setWheelMakesGestures(true);
}

// The canvas starts from white, except in clean mode with a clear background.
void IMView::setForceCleanDrawing(bool clean) {
  forceCleanDrawing_ = clean;
  setPaintsEveryPixel(!forceCleanDrawing_ || noAlphaWhenForceCleanDrawing_);
}

void IMView::setNoAlphaWhenForceCleanDrawing(bool noAlpha) {
  noAlphaWhenForceCleanDrawing_ = noAlpha;
  setPaintsEveryPixel(!forceCleanDrawing_ || noAlphaWhenForceCleanDrawing_);
}

QVariant IMView::valueForKey(const QString& key) const {
  if (exposedBindings().contains(key)) return 0;
  return {};
}

void IMView::setValue(const QVariant&, const QString& key) {
  if (exposedBindings().contains(key)) updateFrame();
}

bool IMView::showsGrid() {
  fnd::UserDefaults& defaults = fnd::UserDefaults::standardUserDefaults();
  if (!defaults.hasKey("IMShowDrawingGrid")) {
    defaults.setBool(true, "IMShowDrawingGrid");
    return true;
  }
  return defaults.boolForKey("IMShowDrawingGrid");
}

ui::ClipView* IMView::clipView() const { return qobject_cast<ui::ClipView*>(parentWidget()); }

gfx::AffineTransform IMView::transformation() const {
  return CanvasGeometry::transformation(
      sizeDelegate_ != nullptr, sizeDelegate_ ? sizeDelegate_->zoom() : 0, backingScaleFactor());
}

QRectF IMView::zoomededRect(const QRectF& rect, bool inversed) const {
  return CanvasGeometry::zoomededRect(rect, transformation(), inversed);
}

QRectF IMView::transformRectFromDocumentToView(const QRectF& rect) const {
  return zoomededRect(rect, false);
}

QRectF IMView::transformRectFromViewToDocument(const QRectF& rect) const {
  return zoomededRect(rect, true);
}

void IMView::updateFrame() {
  const QRectF document = sizeDelegate_ ? sizeDelegate_->contentOriginalRectForView() : QRectF();
  const QRectF zoomed = zoomededRect(document, false);
  if (frame().width() == zoomed.width() && frame().height() == zoomed.height()) return;
  setFrame(zoomed);
  if (ui::ScrollView* scrollView = enclosingScrollView()) scrollView->viewport()->update();
}

QPointF IMView::centralVisibleViewPointInViewCoordinates() const {
  const QRectF shown = clipView() ? clipView()->bounds() : QRectF();
  return {shown.x() + shown.width() * 0.5, shown.y() + shown.height() * 0.5};
}

void IMView::centerClipViewOnPoint(const QPointF& point) {
  ui::ClipView* clip = clipView();
  if (!clip) return;
  const QSizeF size = clip->bounds().size();
  clip->scrollToPoint(clip->constrainScrollPoint(
      {point.x() - size.width() * 0.5, point.y() - size.height() * 0.5}));
  if (ui::ScrollView* scrollView = enclosingScrollView()) scrollView->reflectScrolledClipView(clip);
}

// The frame follows the new zoom first, so the clip origin is constrained
// by the zoomed document rather than by the one before the zoom.
void IMView::changeClipViewOriginWithNewZoomFactor(double zoomFactor, const QPointF& point) {
  ui::ClipView* clip = clipView();
  if (!clip) return;
  updateFrame();
  clip->scrollToPoint(
      CanvasGeometry::clipOriginKeepingPoint(zoomFactor, point, clip->bounds().size()));
  if (ui::ScrollView* scrollView = enclosingScrollView()) scrollView->viewport()->update();
}

void IMView::changeClipViewOriginWithActuelZoomFactorCentered(double oldZoomFactor,
                                                              double newZoomFactor) {
  ui::ClipView* clip = clipView();
  if (!clip) return;
  changeClipViewOriginWithNewZoomFactor(
      newZoomFactor, CanvasGeometry::centralPointBeforeZoom(clip->bounds(), oldZoomFactor));
}

// ---- Redrawing ----

void IMView::setNeedsDisplayOfOverlaysInRect(const QRectF& rect) {
  const QRectF visible = rect.intersected(visibleRect());
  if (visible.isEmpty()) return;
  const QRect area = rectToWidget(visible).toAlignedRect();
  overlaysOnly_ += area;
  setNeedsDisplayInWidgetRect(area);
}

// A part asked for both ways, before it is painted, is composed again.
void IMView::setNeedsDisplay(bool needsDisplay) {
  if (!needsDisplay) return;
  overlaysOnly_ = QRegion();
  strokeOnly_ = QRegion();
  documentCache_.clear();
  belowStroke_.clear();
  ui::View::setNeedsDisplay(true);
}

void IMView::setNeedsDisplayInRect(const QRectF& rect) {
  const QRegion area(rectToWidget(rect.intersected(visibleRect())).toAlignedRect());
  overlaysOnly_ -= area;
  strokeOnly_ -= area;
  documentCache_.forget(bitmapPixels(area));
  belowStroke_.forget(bitmapPixels(area));
  ui::View::setNeedsDisplayInRect(rect);
}

void IMView::setNeedsDisplayOfStrokeInRect(const QRectF& rect) {
  const QRegion area(rectToWidget(rect.intersected(visibleRect())).toAlignedRect());
  overlaysOnly_ -= area;
  documentCache_.forget(bitmapPixels(area));
  strokeOnly_ += area;
  ui::View::setNeedsDisplayInRect(rect);
}

// Whatever is painted that was not asked for as an overlay change (a
// window exposed, anyone's update) may show a changed document; what a
// scroll moved into place shows the document the cache moved with it.
void IMView::paintEvent(QPaintEvent* event) {
  const QRegion scrolled = keptByScroll();
  documentCache_.forget(bitmapPixels(event->region() - overlaysOnly_ - scrolled));
  belowStroke_.forget(bitmapPixels(event->region() - overlaysOnly_ - strokeOnly_ - scrolled));
  overlaysOnly_ -= event->region();
  strokeOnly_ -= event->region();
  painting_ = true;
  ui::View::paintEvent(event);
  painting_ = false;
}

// The composed document and the overlay-only requests move with the bitmap.
void IMView::backingDidScroll(const QPoint& shift, const QPoint& pixels) {
  overlaysOnly_ = overlaysOnly_.translated(shift) & rect();
  strokeOnly_ = strokeOnly_.translated(shift) & rect();
  const QPointF origin = visibleRect().topLeft();
  documentCache_.scroll(pixels, origin + QPointF(shift.x(), -shift.y()), origin);
  belowStroke_.scroll(pixels, origin + QPointF(shift.x(), -shift.y()), origin);
}

QRegion IMView::bitmapPixels(const QRegion& widgetArea) const {
  const double scale = devicePixelRatioF();
  QRegion pixels;
  for (const QRect& part : widgetArea)
    pixels +=
        QRectF(part.x() * scale, part.y() * scale, part.width() * scale, part.height() * scale)
            .toAlignedRect();
  return pixels;
}
