#include "window/CanvasDocumentCache.h"

#include <algorithm>
#include <cstring>

#include "appkit/BitmapScroll.h"
#include "foundation/WorkerPool.h"

namespace {

// Rows per band of a parallel copy: a few hundred kilobytes of a view's
// bitmap, enough to outweigh handing the band to a worker.
constexpr int CopyRowsPerBand = 64;
// Bytes a band copies at least: a brush's redraw, a strip a few hundred
// pixels wide, is copied sooner than a worker wakes for it.
constexpr qsizetype CopyBytesPerBand = 256 * 1024;

}  // namespace

void CanvasDocumentCache::clear() {
  kept_ = QRegion();
  pixels_ = QImage();
}

void CanvasDocumentCache::forget(const QRegion& area) { kept_ -= area; }

bool CanvasDocumentCache::covers(const Setup& setup, const QRect& area) const {
  return setup == setup_ && !area.isEmpty() && QRegion(area).subtracted(kept_).isEmpty();
}

QRegion CanvasDocumentCache::keptIn(const Setup& setup, const QRect& area) const {
  return setup == setup_ ? kept_ & area : QRegion();
}

void CanvasDocumentCache::restore(QImage& bitmap, const QRect& area) const {
  copyRows(pixels_, bitmap, area);
}

void CanvasDocumentCache::keep(const Setup& setup, const QImage& bitmap, const QRect& area) {
  const QRect inside = area.intersected(bitmap.rect());
  if (inside.isEmpty()) return;
  if (setup != setup_) {
    // A new zoom or scroll invalidates what is kept, not the buffer: each
    // zoom step redraws the whole view, and a fresh view-sized buffer per
    // step costs its page faults on top of the copy.
    kept_ = QRegion();
    setup_ = setup;
  }
  if (pixels_.size() != bitmap.size() || pixels_.format() != bitmap.format()) {
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
// Bands of rows go to the worker pool: a whole view is megabytes, more than
// one core copies within a frame's share of time.
void CanvasDocumentCache::copyRows(const QImage& from, QImage& to, const QRect& area) {
  const QRect inside = area.intersected(from.rect()).intersected(to.rect());
  if (inside.isEmpty() || from.format() != to.format()) return;
  const int bytesPerPixel = from.depth() / 8;
  const size_t length = size_t(inside.width()) * bytesPerPixel;
  const size_t offset = size_t(inside.left()) * bytesPerPixel;
  // Addressed here, once: QImage's own row access may detach, not for threads.
  const uchar* source = from.constBits();
  uchar* target = to.bits();
  const qsizetype sourceStride = from.bytesPerLine(), targetStride = to.bytesPerLine();
  const int rowsPerBand =
      int(std::max<qsizetype>(CopyRowsPerBand, CopyBytesPerBand / qsizetype(length)));
  fnd::WorkerPool::parallelBands(inside.height(), rowsPerBand, [&](int begin, int end) {
    for (int y = inside.top() + begin; y < inside.top() + end; ++y)
      std::memcpy(target + y * targetStride + offset, source + y * sourceStride + offset, length);
  });
}
