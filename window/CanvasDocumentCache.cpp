#include "window/CanvasDocumentCache.h"

#include <cstring>

#include "appkit/BitmapScroll.h"

void CanvasDocumentCache::clear() {
  kept_ = QRegion();
  pixels_ = QImage();
}

void CanvasDocumentCache::forget(const QRegion& area) { kept_ -= area; }

bool CanvasDocumentCache::covers(const Setup& setup, const QRect& area) const {
  return setup == setup_ && !area.isEmpty() && QRegion(area).subtracted(kept_).isEmpty();
}

void CanvasDocumentCache::restore(QImage& bitmap, const QRect& area) const {
  copyRows(pixels_, bitmap, area);
}

void CanvasDocumentCache::keep(const Setup& setup, const QImage& bitmap, const QRect& area) {
  const QRect inside = area.intersected(bitmap.rect());
  if (inside.isEmpty()) return;
  if (setup != setup_ || pixels_.size() != bitmap.size() || pixels_.format() != bitmap.format()) {
    clear();
    setup_ = setup;
    pixels_ = QImage(bitmap.size(), bitmap.format());
    if (pixels_.isNull()) return;
  }
  copyRows(bitmap, pixels_, inside);
  kept_ += inside;
}

void CanvasDocumentCache::scroll(const QPoint& pixels, const QPointF& from, const QPointF& to) {
  if (setup_.origin != from || pixels_.isNull()) return clear();
  ui::scrollBitmapPixels(pixels_, pixels);
  kept_ = kept_.translated(pixels) & pixels_.rect();
  setup_.origin = to;
}

// Row by row in place: the target may be a bitmap a painter is drawing on.
void CanvasDocumentCache::copyRows(const QImage& from, QImage& to, const QRect& area) {
  const QRect inside = area.intersected(from.rect()).intersected(to.rect());
  if (inside.isEmpty() || from.format() != to.format()) return;
  const int bytesPerPixel = from.depth() / 8;
  const size_t length = size_t(inside.width()) * bytesPerPixel;
  for (int y = inside.top(); y <= inside.bottom(); ++y)
    std::memcpy(to.scanLine(y) + inside.left() * bytesPerPixel,
                from.constScanLine(y) + inside.left() * bytesPerPixel, length);
}
