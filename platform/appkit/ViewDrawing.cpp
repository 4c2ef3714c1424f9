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
#include <cstdlib>

#include "appkit/BitmapScroll.h"
#include "appkit/View.h"
#include "graphics/GraphicsContext.h"

namespace ui {

namespace {

// A paint region of more parts is drawn as its bounding rectangle.
constexpr int kMostPartsDrawnApart = 64;
// Qt's raster engine hands an image draw of about a hundred rows or more
// to its thread pool. A copy this small (a brush's redraw) is done sooner
// on this thread, a strip of fewer rows at a time, than a thread wakes.
constexpr int kRowsCopiedAtOnce = 64;
constexpr qint64 kMostPixelsCopiedInStrips = 256 * 1024;

}  // namespace

View::~View() = default;

void View::invalidateBacking() {
  if (!backing_) return;
  backing_->valid = false;
  backing_->scrolled = false;
  backing_->kept = QRegion();
}

void View::markAsked(const QRegion& area) {
  if (!backing_) return;
  backing_->asked += area;
  backing_->kept -= area;
}

const QImage* View::backingBitmap() const {
  return backing_ && backing_->bitmap ? backing_->bitmap->bitmap() : nullptr;
}

QRegion View::keptByScroll() const {
  return backing_ && backing_->valid && backing_->scrolled ? backing_->kept : QRegion();
}

void View::setDrawsThroughBitmap(bool through) {
  drawsThroughBitmap_ = through;
  if (!through) backing_.reset();
}

void View::setNeedsDisplay(bool needsDisplay) {
  if (!needsDisplay) return;
  markAsked(rect());
  update();
}

void View::setNeedsDisplayInRect(const QRectF& rect) {
  const QRectF visible = rect.intersected(shown_);
  if (!visible.isEmpty()) setNeedsDisplayInWidgetRect(rectToWidget(visible).toAlignedRect());
}

void View::setNeedsDisplayInWidgetRect(const QRect& area) {
  markAsked(area);
  update(area);
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

// What the bitmap showed moves with the visible part, and the screen's copy
// with it; only what the move uncovered and what was asked for before it
// (moved along, as it belongs to the drawing) are drawn again.
bool View::scrollBacking(const QRectF& shownBefore) {
  if (!backing_ || !backing_->valid || !backing_->bitmap || shownBefore.size() != shown_.size())
    return false;
  const QPointF moved(shownBefore.x() - shown_.x(), shown_.y() - shownBefore.y());
  const double scale = devicePixelRatioF();
  const QPoint shift = moved.toPoint(), pixels = (moved * scale).toPoint();
  if (QPointF(shift) != moved || QPointF(pixels) != moved * scale) return false;
  if (std::abs(shift.x()) >= width() || std::abs(shift.y()) >= height()) return false;
  if (shift.isNull()) return true;
  QImage* bitmap = const_cast<QImage*>(backing_->bitmap->bitmap());
  if (!bitmap) return false;
  scrollBitmapPixels(*bitmap, pixels);
  QRegion kept = backing_->scrolled ? backing_->kept : QRegion(rect()) - backing_->asked;
  backing_->kept = kept.translated(shift) & rect();
  backing_->scrolled = true;
  backingDidScroll(shift, pixels);
  scroll(shift.x(), shift.y(), rect());
  update(QRegion(rect()) - backing_->kept);
  return true;
}

// A bitmap of the widget's pixel size; a new one is drawn whole.
bool View::prepareBacking() {
  const double scale = devicePixelRatioF();
  const QSize pixels(int(std::ceil(width() * scale)), int(std::ceil(height() * scale)));
  if (!backing_) backing_ = std::make_unique<Backing>();
  const gfx::GraphicsContext* bitmap = backing_->bitmap.get();
  if (bitmap && bitmap->pixelsWide() == pixels.width() && bitmap->pixelsHigh() == pixels.height())
    return true;
  backing_->bitmap = gfx::GraphicsContext::bitmapContext(pixels.width(), pixels.height());
  invalidateBacking();
  return backing_->bitmap != nullptr;
}

void View::drawIntoBacking(const QRect& area) {
  const QRectF dirty = rectFromWidget(QRectF(area)).intersected(bounds());
  if (dirty.isEmpty()) return;
  const double scale = devicePixelRatioF();
  gfx::GraphicsContext* bitmap = backing_->bitmap.get();
  bitmap->saveGState();
  bitmap->scaleCTM(scale, scale);
  drawInto(bitmap, dirty, shown_.topLeft());
  bitmap->restoreGState();
}

void View::copyBackingToScreen(QPainter& painter, const QRect& area) {
  const QRectF dirty = rectFromWidget(QRectF(area)).intersected(bounds());
  if (dirty.isEmpty()) return;
  const double scale = devicePixelRatioF();
  const QRectF shownArea = rectToWidget(dirty);
  painter.save();
  if (testAttribute(Qt::WA_OpaquePaintEvent)) {
    // Nothing lies beneath: what the view's bounds leave of the area gets
    // the window's background, and the bitmap replaces the rest.
    for (const QRect& uncovered : QRegion(area) - QRegion(shownArea.toRect()))
      painter.fillRect(uncovered, palette().window());
    painter.setCompositionMode(QPainter::CompositionMode_Source);
  }
  const QImage& bitmap = *backing_->bitmap->bitmap();
  auto copy = [&](const QRectF& part) {
    painter.drawImage(
        part, bitmap,
        QRectF(part.x() * scale, part.y() * scale, part.width() * scale, part.height() * scale));
  };
  // In whole rows of the view and of the bitmap alike.
  const QRect rows = shownArea.toRect();
  const bool inStrips =
      scale == std::round(scale) && QRectF(rows) == shownArea &&
      qint64(rows.width()) * rows.height() * scale * scale <= kMostPixelsCopiedInStrips;
  if (!inStrips) {
    copy(shownArea);
  } else {
    const int strip = std::max(1, int(kRowsCopiedAtOnce / scale));
    for (int top = rows.top(); top <= rows.bottom(); top += strip)
      copy(QRectF(rows.left(), top, rows.width(), std::min(strip, rows.bottom() + 1 - top)));
  }
  painter.restore();
}

// A few separate parts of the widget (the strips along a selection's
// outline) are drawn each by itself, not as the rectangle around them all.
void View::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  auto forEachPart = [](const QRegion& region, auto&& paint) {
    if (region.rectCount() <= 1 || region.rectCount() > kMostPartsDrawnApart)
      return paint(region.boundingRect());
    for (const QRect& part : region) paint(part);
  };
  if (!drawsThroughBitmap_) {
    forEachPart(event->region(), [&](const QRect& area) {
      const QRectF dirty = rectFromWidget(QRectF(area)).intersected(bounds());
      if (dirty.isEmpty()) return;
      painter.save();
      {
        auto context = gfx::GraphicsContext::forPainter(&painter, QSizeF(size()));
        drawInto(context.get(), dirty, shown_.topLeft());
      }
      painter.restore();
    });
    return;
  }
  if (!prepareBacking()) return;
  // A bitmap that no longer matches the visible part is drawn again whole;
  // after a scroll only what it did not move into place is.
  QRegion drawn = event->region();
  if (!backing_->valid)
    drawn = rect(), backing_->valid = true;
  else if (backing_->scrolled)
    drawn -= backing_->kept;
  if (!drawn.isEmpty()) forEachPart(drawn, [&](const QRect& area) { drawIntoBacking(area); });
  forEachPart(event->region(), [&](const QRect& area) { copyBackingToScreen(painter, area); });
  backing_->asked = QRegion();
  backing_->scrolled = false;
  backing_->kept = QRegion();
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
