// Images drawn straight onto 8-bit premultiplied bitmaps: the drawing path of
// flattening and of the canvas. Only the device pixels inside the clip and
// the image's outline are visited; each row is sampled from the image (read
// in place for whole-pixel placements, bilinearly filtered otherwise),
// composited with compositeRow(), and rows are split into bands over the
// shared worker pool. Everything else goes through draw().
#include <QPainter>
#include <cmath>
#include <optional>
#include <vector>

#include "foundation/WorkerPool.h"
#include "graphics/ConvexCoverage.h"
#include "graphics/GraphicsContext.h"
#include "graphics/GraphicsState.h"
#include "graphics/ImageResampler.h"
#include "graphics/ReducedPixels.h"

namespace gfx {
namespace {

constexpr int BandRows = 16;
// Below this many pixels a draw stays on the calling thread.
constexpr qint64 ParallelPixels = 1 << 15;

bool whole(double v) { return std::abs(v - std::round(v)) < 1e-9; }

// Whether a placement shows the image at half its size or less both ways.
// Whether `source` lands on device pixels one for one, moved by whole pixels.
bool placesWholePixels(const QTransform& sourceToDevice, const QRectF& source) {
  return sourceToDevice.type() <= QTransform::TxTranslate && whole(sourceToDevice.dx()) &&
         whole(sourceToDevice.dy()) && whole(source.x()) && whole(source.y()) &&
         whole(source.width()) && whole(source.height());
}

bool reducesByHalf(const QTransform& t) {
  return std::hypot(t.m11(), t.m12()) <= 0.5 + 1e-9 && std::hypot(t.m21(), t.m22()) <= 0.5 + 1e-9;
}

// The rectangle a path describes when it is an axis-aligned rectangle with
// whole-pixel edges (a clip made of clipToRect calls on whole pixels).
bool wholePixelRectangle(const QPainterPath& path, QRect* rect) {
  const int count = path.elementCount();
  if (count < 4 || count > 6) return false;
  const QRectF box = path.boundingRect();
  if (!whole(box.left()) || !whole(box.top()) || !whole(box.right()) || !whole(box.bottom()))
    return false;
  int corners = 0;
  for (int i = 0; i < count; ++i) {
    const QPainterPath::Element e = path.elementAt(i);
    const bool onX = e.x == box.left() || e.x == box.right();
    const bool onY = e.y == box.top() || e.y == box.bottom();
    if (!onX || !onY || e.isCurveTo()) return false;
    if (i > 0) {
      const QPainterPath::Element p = path.elementAt(i - 1);
      if (p.x != e.x && p.y != e.y) return false;  // a diagonal
    }
    corners |= 1 << ((e.x == box.right()) * 2 + (e.y == box.bottom()));
  }
  if (corners != 15) return false;
  *rect = box.toRect();
  return true;
}

// Where the draw lands and how each of its rows is sampled.
struct Placement {
  const QImage* pixels;
  QRect edges;                // the part of `pixels` drawn
  QTransform deviceToSource;  // for filtered placements
  bool wholePixels = false;   // device = source + offset
  QPoint offset;
  const ConvexCoverage* coverage = nullptr;  // null: the whole bounds are covered
};

struct RowBuffers {
  std::vector<QRgb> samples;
  std::vector<uint8_t> coverage;
};

// The rows of an 8-bit premultiplied target, addressed once before any
// worker writes: QImage's own row access detaches, which is not for threads.
struct TargetRows {
  explicit TargetRows(QImage& image) : bits(image.bits()), stride(image.bytesPerLine()) {}
  uint32_t* row(int y) const { return reinterpret_cast<uint32_t*>(bits + y * stride); }
  uchar* bits;
  qsizetype stride;
};

// Runs drawRow(y, buffers) over the rows of `bounds`, in bands over the
// worker pool when the area is worth it.
template <class DrawRow>
void forEachRow(const QRect& bounds, DrawRow drawRow) {
  const int bands = (bounds.height() + BandRows - 1) / BandRows;
  auto drawBand = [&](int band) {
    thread_local RowBuffers buffers;
    const int top = bounds.top() + band * BandRows;
    const int bottom = std::min(top + BandRows, bounds.bottom() + 1);
    for (int y = top; y < bottom; ++y) drawRow(y, buffers);
  };
  if (qint64(bounds.width()) * bounds.height() < ParallelPixels) {
    for (int band = 0; band < bands; ++band) drawBand(band);
  } else {
    fnd::WorkerPool::parallelFor(bands, drawBand);
  }
}

void drawRow(const Placement& place, const TargetRows& target, const QRect& bounds, int y,
             CompositingOperation op, float fraction, RowBuffers& buffers) {
  int first = 0, last = bounds.width();
  const uint8_t* coverage = nullptr;
  if (place.coverage) {
    buffers.coverage.resize(size_t(bounds.width()));
    bool full = place.coverage->row(y, bounds.left(), bounds.width(), buffers.coverage.data(),
                                    &first, &last);
    if (!full) coverage = buffers.coverage.data() + first;
  }
  if (last <= first) return;
  const int left = bounds.left() + first, width = last - first;
  const QRgb* source;
  if (place.wholePixels) {
    source = reinterpret_cast<const QRgb*>(place.pixels->constScanLine(y - place.offset.y())) +
             (left - place.offset.x());
  } else {
    buffers.samples.resize(size_t(width));
    ImageResampler::resampleRow(*place.pixels, place.edges, place.deviceToSource, left, y, width,
                                buffers.samples.data());
    source = buffers.samples.data();
  }
  compositeRow(op, source, target.row(y) + left, coverage, width, fraction);
}

}  // namespace

bool GraphicsContext::rectangularDeviceClip(QRect* clip) const {
  *clip = deviceBounds();
  if (!state().hasClip) return true;
  QRect rect;
  if (!wholePixelRectangle(state().deviceClip, &rect)) return false;
  *clip &= rect;
  return true;
}

bool GraphicsContext::drawImageIntoBitmap(const CGImage& image, const QRectF& destination,
                                          const QRectF& source, CompositingOperation op,
                                          double fraction) {
  QImage* target = readableTarget();
  if (!target || target->format() != QImage::Format_ARGB32_Premultiplied ||
      image.bitsPerComponent() != 8 || source.isEmpty())
    return false;
  QRect clip;
  if (!rectangularDeviceClip(&clip)) return false;
  // Source pixels → destination (upright in y-up user space) → device.
  const QTransform sourceToDestination =
      QTransform::fromTranslate(-source.x(), -source.y()) *
      QTransform::fromScale(destination.width() / source.width(),
                            destination.height() / source.height()) *
      QTransform::fromTranslate(destination.x(), destination.y());
  const QTransform upright(1, 0, 0, -1, 0, 2 * destination.y() + destination.height());
  const QTransform sourceToDevice = sourceToDestination * upright * userToDevice();
  if (sourceToDevice.type() == QTransform::TxProject || !sourceToDevice.isInvertible())
    return false;

  Placement place;
  place.pixels = &image.drawingPixels();
  // Shown smoothly at half size or less: sample the halved copies, halving
  // again while the draw still halves them. A copy drawn at its own size on
  // whole pixels is then read in place.
  const ReducedPixels* level = nullptr;
  QRectF sampled = source;
  QTransform sampledToDevice = sourceToDevice;
  while (state().interpolate && reducesByHalf(sampledToDevice) && place.pixels->width() > 1 &&
         place.pixels->height() > 1) {
    level = level ? &level->half() : &image.halfSizePixels();
    place.pixels = &level->pixels();
    sampled = QRectF(sampled.topLeft() / 2, sampled.size() / 2);
    sampledToDevice = QTransform::fromScale(2, 2) * sampledToDevice;
  }
  place.wholePixels = placesWholePixels(sampledToDevice, sampled);
  // Without smoothing, transformed images are sampled the way QPainter does.
  if (!place.wholePixels && !state().interpolate) return false;
  place.edges = sampled.toAlignedRect() & place.pixels->rect();
  if (place.edges.isEmpty()) return true;
  const QPolygonF outline = sourceToDevice.map(QPolygonF(QRectF(source)));
  QRect bounds = outline.boundingRect().toAlignedRect() & clip;
  if (bounds.isEmpty()) return true;

  std::optional<ConvexCoverage> coverage;
  QRect read;  // the part of the sampled pixels the rows read
  if (place.wholePixels) {
    place.offset =
        QPoint(int(std::round(sampledToDevice.dx())), int(std::round(sampledToDevice.dy())));
    bounds &= place.edges.translated(place.offset);
    if (bounds.isEmpty()) return true;
    read = bounds.translated(-place.offset);
  } else {
    place.deviceToSource = sampledToDevice.inverted();
    coverage.emplace(outline, state().antialias);
    place.coverage = &*coverage;
    // With the filter's reach.
    read = place.deviceToSource.mapRect(QRectF(bounds)).toAlignedRect().adjusted(-1, -1, 1, 1) &
           place.edges;
  }
  if (level) level->prepare(read);
  const TargetRows rows(*target);
  forEachRow(bounds, [&](int y, RowBuffers& buffers) {
    drawRow(place, rows, bounds, y, op, float(fraction), buffers);
  });
  return true;
}

bool GraphicsContext::fillRectIntoBitmap(const QRectF& rect, const QColor& color,
                                         CompositingOperation op) {
  QImage* target = readableTarget();
  if (!target || target->format() != QImage::Format_ARGB32_Premultiplied) return false;
  const QTransform toDevice = userToDevice();
  if (toDevice.type() > QTransform::TxScale) return false;
  const QRectF device = toDevice.mapRect(rect.normalized());
  if (!whole(device.left()) || !whole(device.top()) || !whole(device.right()) ||
      !whole(device.bottom()))
    return false;
  QRect clip;
  if (!rectangularDeviceClip(&clip)) return false;
  const QRect bounds = device.toRect() & clip;
  if (bounds.isEmpty()) return true;
  const QRgb pixel = qPremultiply(color.rgba());
  const TargetRows rows(*target);
  forEachRow(bounds, [&](int y, RowBuffers& buffers) {
    buffers.samples.assign(size_t(bounds.width()), pixel);
    compositeRow(op, buffers.samples.data(), rows.row(y) + bounds.left(), nullptr, bounds.width(),
                 float(state().alpha));
  });
  return true;
}

}  // namespace gfx
