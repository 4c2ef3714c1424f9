#include "graphics/ImageDrawBatch.h"

#include <algorithm>

#include "foundation/WorkerPool.h"
#include "graphics/ImageResampler.h"
#include "graphics/ReducedPixels.h"

namespace gfx {
namespace {

// A band's destination rows stay in cache across the draws of the batch.
constexpr int BandRows = 16;
// Below this many pixels, all draws counted, a batch stays on the calling thread.
constexpr qint64 ParallelPixels = 1 << 15;

struct RowBuffers {
  std::vector<QRgb> samples;
  std::vector<uint8_t> coverage;
};

// The rows of the target, addressed once before any worker writes:
// QImage's own row access detaches, which is not for threads.
struct TargetRows {
  explicit TargetRows(QImage& image) : bits(image.bits()), stride(image.bytesPerLine()) {}
  uint32_t* row(int y) const { return reinterpret_cast<uint32_t*>(bits + y * stride); }
  uchar* bits;
  qsizetype stride;
};

void drawRow(const ImageDraw& draw, const TargetRows& target, int y, RowBuffers& buffers) {
  const QRect& bounds = draw.bounds;
  int first = 0, last = bounds.width();
  const uint8_t* coverage = nullptr;
  if (draw.coverage) {
    buffers.coverage.resize(size_t(bounds.width()));
    bool full = draw.coverage->row(y, bounds.left(), bounds.width(), buffers.coverage.data(),
                                   &first, &last);
    if (!full) coverage = buffers.coverage.data() + first;
  }
  if (last <= first) return;
  const int left = bounds.left() + first, width = last - first;
  const QRgb* source;
  if (draw.wholePixels) {
    source = reinterpret_cast<const QRgb*>(draw.pixels->constScanLine(y - draw.offset.y())) +
             (left - draw.offset.x());
  } else {
    buffers.samples.resize(size_t(width));
    ImageResampler::resampleRow(*draw.pixels, draw.edges, draw.deviceToSource, left, y, width,
                                buffers.samples.data());
    source = buffers.samples.data();
  }
  compositeRow(draw.op, source, target.row(y) + left, coverage, width, draw.fraction);
}

// The part of a reduced level that device rows [top, bottom) of `draw` read.
QRect readRegion(const ImageDraw& draw, int top, int bottom) {
  const QRect rows(draw.bounds.left(), top, draw.bounds.width(), bottom - top);
  if (draw.wholePixels) return rows.translated(-draw.offset);
  // With the filter's reach.
  return draw.deviceToSource.mapRect(QRectF(rows)).toAlignedRect().adjusted(-1, -1, 1, 1) &
         draw.edges;
}

}  // namespace

void ImageDrawBatch::run(QImage& target) {
  if (draws_.empty()) return;
  QRect all;
  qint64 pixels = 0;
  for (const ImageDraw& draw : draws_) {
    all |= draw.bounds;
    pixels += qint64(draw.bounds.width()) * draw.bounds.height();
  }
  const TargetRows rows(target);
  const int bands = (all.height() + BandRows - 1) / BandRows;
  auto drawBand = [&](int band) {
    thread_local RowBuffers buffers;
    const int top = all.top() + band * BandRows;
    const int bottom = std::min(top + BandRows, all.bottom() + 1);
    for (const ImageDraw& draw : draws_) {
      const int from = std::max(top, draw.bounds.top());
      const int to = std::min(bottom, draw.bounds.bottom() + 1);
      if (from >= to) continue;
      // Reduced copies are made where and when a band first reads them.
      if (draw.level) draw.level->prepare(readRegion(draw, from, to));
      for (int y = from; y < to; ++y) drawRow(draw, rows, y, buffers);
    }
  };
  if (pixels < ParallelPixels) {
    for (int band = 0; band < bands; ++band) drawBand(band);
  } else {
    fnd::WorkerPool::parallelFor(bands, drawBand);
  }
  draws_.clear();
}

}  // namespace gfx
