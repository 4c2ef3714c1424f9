#include "graphics/ImageDrawBatch.h"

#include <algorithm>
#include <cmath>

#include "foundation/WorkerPool.h"
#include "graphics/ImageResampler.h"
#include "graphics/ReducedPixels.h"

namespace gfx {
namespace {

// A band's destination rows stay in cache across the draws of the batch.
constexpr int BandRows = 16;
// How many rows ahead whole-pixel draws read their source.
constexpr int RowsAhead = 2;
// The pixels, all draws counted, that one task of a parallel batch takes
// on at least: waking a worker and waiting for it costs about as much as
// drawing this many, so a small batch (a brush's redraw) stays on the
// calling thread and a larger one wakes no more workers than it can keep busy.
constexpr qint64 PixelsPerTask = 1 << 16;

struct RowBuffers {
  std::vector<QRgb> samples;
  std::vector<QRgb> band;  // a steeply rotated draw's samples for a whole band
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

// A device row of a rotated draw reads from as many source rows as it
// crosses; past a few hundred, those reads no longer stay in the first-level
// cache from one device row to the next. Such draws are sampled for the
// whole band first, in columns narrow enough to cross about 64 source rows.
int tileWidth(const ImageDraw& draw) {
  const int width = draw.bounds.width();
  const double rowsPerPixel = std::abs(draw.deviceToSource.m12());
  // Nearest samples read one pixel each and run from each span's start.
  if (draw.wholePixels || draw.nearest || rowsPerPixel * width <= 512) return width;
  return std::clamp(int(64 / rowsPerPixel), 128, width);
}

// Row `y` of an unsmoothed transformed draw over [left, left + width): each
// run of equal coverage is sampled from its own start, as QPainter fills
// the spans of an outline one by one.
void nearestRow(const ImageDraw& draw, int left, int y, int width, const uint8_t* coverage,
                QRgb* out) {
  for (int from = 0, to; from < width; from = to) {
    to = from + 1;
    if (coverage)
      while (to < width && coverage[to] == coverage[from]) ++to;
    else
      to = width;
    ImageResampler::nearestRow(*draw.pixels, draw.edges, draw.deviceToSource, left + from, y,
                               to - from, out + from);
  }
}

// Samples rows [top, bottom) of `draw` over its whole bounds into the band
// buffer, tile by tile.
void sampleBand(const ImageDraw& draw, int top, int bottom, int tile, RowBuffers& buffers) {
  const int width = draw.bounds.width();
  buffers.band.resize(size_t(width) * size_t(bottom - top));
  for (int left = 0; left < width; left += tile)
    for (int y = top; y < bottom; ++y)
      ImageResampler::resampleRow(*draw.pixels, draw.edges, draw.deviceToSource,
                                  draw.bounds.left() + left, y, std::min(tile, width - left),
                                  buffers.band.data() + size_t(y - top) * width + left);
}

// Row `y` of a tiled draw over [left, left + width).
void tileRow(const ImageDraw& draw, int y, int left, int width, QRgb* out) {
  auto wrapped = [](int v, int period) { return ((v % period) + period) % period; };
  const QImage& tile = draw.tile;
  const int period = tile.width();
  const auto* pattern = reinterpret_cast<const QRgb*>(
      tile.constScanLine(wrapped(y - draw.offset.y(), tile.height())));
  if (period == 1) {
    std::fill(out, out + width, pattern[0]);
    return;
  }
  int column = wrapped(left - draw.offset.x(), period);
  for (int x = 0; x < width; column = 0) {
    const int run = std::min(period - column, width - x);
    std::copy(pattern + column, pattern + column + run, out + x);
    x += run;
  }
}

// A row whose coverage is partial only at its ends (a convex shape's row):
// the fully covered middle is composited without the coverage, as a row
// with no partial pixel would be.
void compositeCovered(CompositingOperation op, const QRgb* source, uint32_t* destination,
                      const uint8_t* coverage, int width, float fraction) {
  if (!coverage) return compositeRow(op, source, destination, nullptr, width, fraction);
  int from = 0, to = width;
  while (from < to && coverage[from] != 255) ++from;
  while (to > from && coverage[to - 1] != 255) --to;
  if (from > 0) compositeRow(op, source, destination, coverage, from, fraction);
  if (to > from) compositeRow(op, source + from, destination + from, nullptr, to - from, fraction);
  if (to < width)
    compositeRow(op, source + to, destination + to, coverage + to, width - to, fraction);
}

// One row of `draw`; `sampled` is the row's samples over the whole bounds
// when the band was sampled beforehand.
void drawRow(const ImageDraw& draw, const TargetRows& target, int y, RowBuffers& buffers,
             const QRgb* sampled, const BilinearColumns& columns) {
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
  if (!draw.tile.isNull()) {
    if (draw.replacesBounds()) {
      tileRow(draw, y, left, width, target.row(y) + left);
      return;
    }
    buffers.samples.resize(size_t(width));
    tileRow(draw, y, left, width, buffers.samples.data());
    source = buffers.samples.data();
  } else if (draw.wholePixels) {
    source = reinterpret_cast<const QRgb*>(draw.pixels->constScanLine(y - draw.offset.y())) +
             (left - draw.offset.x());
  } else if (draw.nearest) {
    buffers.samples.resize(size_t(width));
    nearestRow(draw, left, y, width, coverage, buffers.samples.data());
    source = buffers.samples.data();
  } else if (sampled) {
    source = sampled + first;
  } else {
    buffers.samples.resize(size_t(width));
    ImageResampler::resampleRow(*draw.pixels, draw.edges, draw.deviceToSource, left, y, width,
                                buffers.samples.data(), &columns);
    source = buffers.samples.data();
  }
  compositeCovered(draw.op, source, target.row(y) + left, coverage, width, draw.fraction);
}

// A filtered draw that only scales and moves reads the same source columns
// on every row: laid out once per run, shared by all bands.
BilinearColumns columnsOf(const ImageDraw& draw) {
  if (!draw.tile.isNull() || draw.wholePixels || draw.nearest) return {};
  return ImageResampler::columns(draw.edges, draw.deviceToSource, draw.bounds.left(),
                                 draw.bounds.width());
}

// Asks for a whole-pixel draw's source row `y` ahead of its use. Each row
// is a short stream of its own, and the processor's prefetchers stop at
// every page boundary, so without this most of a row arrives on demand.
void readRowEarly(const ImageDraw& draw, int y) {
  if (!draw.wholePixels || !draw.tile.isNull()) return;
  const auto* row = reinterpret_cast<const char*>(draw.pixels->constScanLine(y - draw.offset.y())) +
                    (draw.bounds.left() - draw.offset.x()) * 4;
  const int bytes = draw.bounds.width() * 4;
  for (int offset = 0; offset < bytes; offset += 64) __builtin_prefetch(row + offset);
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

void ImageDrawBatch::dropHiddenDraws() {
  std::vector<ImageDraw> kept;
  for (size_t i = 0; i < draws_.size(); ++i) {
    const QRect& bounds = draws_[i].bounds;
    const bool hidden = std::any_of(draws_.begin() + i + 1, draws_.end(), [&](const ImageDraw& d) {
      return d.replacesBounds() && d.bounds.contains(bounds);
    });
    if (!hidden) kept.push_back(std::move(draws_[i]));
  }
  draws_ = std::move(kept);
}

void ImageDrawBatch::run(QImage& target) {
  if (draws_.empty()) return;
  dropHiddenDraws();
  QRect all;
  qint64 pixels = 0;
  for (const ImageDraw& draw : draws_) {
    all |= draw.bounds;
    pixels += qint64(draw.bounds.width()) * draw.bounds.height();
  }
  std::vector<BilinearColumns> columns;
  for (const ImageDraw& draw : draws_) columns.push_back(columnsOf(draw));
  const TargetRows rows(target);
  const int bands = (all.height() + BandRows - 1) / BandRows;
  auto drawBand = [&](int band) {
    thread_local RowBuffers buffers;
    const int top = all.top() + band * BandRows;
    const int bottom = std::min(top + BandRows, all.bottom() + 1);
    for (size_t index = 0; index < draws_.size(); ++index) {
      const ImageDraw& draw = draws_[index];
      const int from = std::max(top, draw.bounds.top());
      const int to = std::min(bottom, draw.bounds.bottom() + 1);
      if (from >= to) continue;
      // Reduced copies are made where and when a band first reads them.
      if (draw.level) draw.level->prepare(readRegion(draw, from, to));
      const int tile = tileWidth(draw);
      if (tile < draw.bounds.width()) {
        sampleBand(draw, from, to, tile, buffers);
        for (int y = from; y < to; ++y)
          drawRow(draw, rows, y, buffers,
                  buffers.band.data() + size_t(y - from) * draw.bounds.width(), columns[index]);
      } else {
        for (int y = from; y < to; ++y) {
          if (y + RowsAhead < to) readRowEarly(draw, y + RowsAhead);
          drawRow(draw, rows, y, buffers, nullptr, columns[index]);
        }
      }
    }
  };
  const int tasks = int(std::clamp<qint64>(pixels / PixelsPerTask, 1, bands));
  if (tasks == 1) {
    for (int band = 0; band < bands; ++band) drawBand(band);
  } else {
    fnd::WorkerPool::parallelFor(tasks, [&](int task) {
      for (int band = bands * task / tasks; band < bands * (task + 1) / tasks; ++band)
        drawBand(band);
    });
  }
  draws_.clear();
}

}  // namespace gfx
