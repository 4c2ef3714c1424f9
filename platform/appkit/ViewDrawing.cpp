// How a view reaches the screen, a bitmap and a PDF page: every road ends in
// drawRect() on a drawing context whose user space is the view's bounds.
#include <QBuffer>
#include <QPageLayout>
#include <QPageSize>
#include <QPaintEvent>
#include <QPainter>
#include <QPdfWriter>
#include <QRegion>
#include <cmath>

#include "appkit/View.h"
#include "graphics/GraphicsContext.h"

namespace ui {

namespace {

// A paint region of more parts is drawn as its bounding rectangle.
constexpr int kMostPartsDrawnApart = 64;

}  // namespace

View::~View() = default;

void View::invalidateBacking() {
  if (backing_) backing_->valid = false;
}

void View::setDrawsThroughBitmap(bool through) {
  drawsThroughBitmap_ = through;
  if (!through) backing_.reset();
}

void View::setNeedsDisplay(bool needsDisplay) {
  if (needsDisplay) update();
}

void View::setNeedsDisplayInRect(const QRectF& rect) {
  const QRectF visible = rect.intersected(shown_);
  if (!visible.isEmpty()) update(rectToWidget(visible).toAlignedRect());
}

void View::drawRect(const QRectF&) {}

// `origin` (bounds) lands on the context's origin.
void View::drawInto(gfx::GraphicsContext* context, const QRectF& dirty, const QPointF& origin) {
  gfx::CurrentContextScope scope(context);
  context->saveGState();
  context->translateCTM(-origin.x(), -origin.y());
  context->clipToRect(dirty);
  drawRect(dirty);
  context->restoreGState();
}

// A few separate parts of the widget (the strips along a selection's
// outline) are drawn each by itself, not as the rectangle around them all.
void View::paintEvent(QPaintEvent* event) {
  const QRegion& region = event->region();
  QPainter painter(this);
  auto paintArea = [&](const QRect& area) {
    QRectF dirty = rectFromWidget(QRectF(area)).intersected(bounds());
    if (dirty.isEmpty()) return;
    const QPointF origin(shown_.x(), shown_.y());
    if (!drawsThroughBitmap_) {
      painter.save();
      {
        auto context = gfx::GraphicsContext::forPainter(&painter, QSizeF(size()));
        drawInto(context.get(), dirty, origin);
      }
      painter.restore();
      return;
    }
    const double scale = devicePixelRatioF();
    const QSize pixels(int(std::ceil(width() * scale)), int(std::ceil(height() * scale)));
    if (!backing_) backing_ = std::make_unique<Backing>();
    gfx::GraphicsContext* bitmap = backing_->bitmap.get();
    if (!bitmap || bitmap->pixelsWide() != pixels.width() ||
        bitmap->pixelsHigh() != pixels.height()) {
      backing_->bitmap = gfx::GraphicsContext::bitmapContext(pixels.width(), pixels.height());
      if (!(bitmap = backing_->bitmap.get())) return;
      backing_->valid = false;
    }
    // A bitmap that no longer matches the visible part is drawn again whole.
    if (!backing_->valid) dirty = shown_.intersected(bounds()), backing_->valid = true;
    bitmap->saveGState();
    bitmap->scaleCTM(scale, scale);
    drawInto(bitmap, dirty, origin);
    bitmap->restoreGState();
    const QRectF shownArea = rectToWidget(dirty);
    painter.save();
    if (testAttribute(Qt::WA_OpaquePaintEvent)) {
      // Nothing lies beneath: what the view's bounds leave of the area gets
      // the window's background, and the bitmap replaces the rest.
      for (const QRect& uncovered : QRegion(area) - QRegion(shownArea.toRect()))
        painter.fillRect(uncovered, palette().window());
      painter.setCompositionMode(QPainter::CompositionMode_Source);
    }
    painter.drawImage(shownArea, *bitmap->bitmap(),
                      QRectF(shownArea.x() * scale, shownArea.y() * scale,
                             shownArea.width() * scale, shownArea.height() * scale));
    painter.restore();
  };
  if (region.rectCount() <= 1 || region.rectCount() > kMostPartsDrawnApart)
    return paintArea(event->rect());
  for (const QRect& part : region) paintArea(part);
}

void View::displayRectIgnoringOpacity(const QRectF& rect, gfx::GraphicsContext* context) {
  if (context) drawInto(context, rect, {rect.x(), rect.y()});
}

gfx::CGImagePtr View::imageOfRect(const QRectF& rect) {
  auto context = gfx::GraphicsContext::bitmapContext(int(std::ceil(rect.width())),
                                                     int(std::ceil(rect.height())));
  if (!context) return nullptr;
  displayRectIgnoringOpacity(rect, context.get());
  return context->makeImage();
}

QByteArray View::dataWithPDFInsideRect(const QRectF& rect) {
  QByteArray bytes;
  {
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QPdfWriter writer(&buffer);
    writer.setPageLayout(QPageLayout(QPageSize(rect.size(), QPageSize::Point),
                                     QPageLayout::Portrait, QMarginsF(), QPageLayout::Point));
    auto context = gfx::GraphicsContext::forPDF(&writer);
    if (!context) return {};
    displayRectIgnoringOpacity(rect, context.get());
  }
  return bytes;
}

}  // namespace ui
