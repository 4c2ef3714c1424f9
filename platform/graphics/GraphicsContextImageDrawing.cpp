// Images drawn straight onto 8-bit premultiplied bitmaps: the drawing path of
// flattening and of the canvas. Only the device pixels inside the clip and
// the image's outline are visited; each row is sampled from the image (read
// in place for whole-pixel placements, bilinearly filtered otherwise),
// composited with compositeRow(), and rows are split into bands over the
// shared worker pool. Inside an image batch the draws wait and are then
// composited together, band by band (ImageDrawBatch). Everything else goes
// through draw().
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <vector>

#include "foundation/WorkerPool.h"
#include "graphics/GraphicsContext.h"
#include "graphics/GraphicsState.h"
#include "graphics/ImageDrawBatch.h"
#include "graphics/ReducedPixels.h"

namespace gfx {
namespace {

constexpr int BandRows = 16;
// Below this many pixels a draw stays on the calling thread.
constexpr qint64 ParallelPixels = 1 << 15;

bool whole(double v) { return std::abs(v - std::round(v)) < 1e-9; }

// Whether `source` lands on device pixels one for one, moved by whole pixels.
bool placesWholePixels(const QTransform& sourceToDevice, const QRectF& source) {
  return sourceToDevice.type() <= QTransform::TxTranslate && whole(sourceToDevice.dx()) &&
         whole(sourceToDevice.dy()) && whole(source.x()) && whole(source.y()) &&
         whole(source.width()) && whole(source.height());
}

// Whether a placement shows the image at half its size or less both ways.
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

// Runs fillRow(y, samples) over the rows of `bounds`, in bands over the
// worker pool when the area is worth it.
template <class FillRow>
void forEachRow(const QRect& bounds, FillRow fillRow) {
  const int bands = (bounds.height() + BandRows - 1) / BandRows;
  auto fillBand = [&](int band) {
    thread_local std::vector<QRgb> samples;
    const int top = bounds.top() + band * BandRows;
    const int bottom = std::min(top + BandRows, bounds.bottom() + 1);
    for (int y = top; y < bottom; ++y) fillRow(y, samples);
  };
  if (qint64(bounds.width()) * bounds.height() < ParallelPixels) {
    for (int band = 0; band < bands; ++band) fillBand(band);
  } else {
    fnd::WorkerPool::parallelFor(bands, fillBand);
  }
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

bool GraphicsContext::drawImageIntoBitmap(const CGImagePtr& image, const QRectF& destination,
                                          const QRectF& source, CompositingOperation op,
                                          double fraction) {
  QImage* target = readableTarget();
  if (!target || target->format() != QImage::Format_ARGB32_Premultiplied ||
      image->bitsPerComponent() != 8 || source.isEmpty())
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

  ImageDraw draw;
  draw.image = image;
  draw.pixels = &image->drawingPixels();
  // Shown smoothly at half size or less: sample the halved copies, halving
  // again while the draw still halves them. A copy drawn at its own size on
  // whole pixels is then read in place.
  QRectF sampled = source;
  QTransform sampledToDevice = sourceToDevice;
  while (state().interpolate && reducesByHalf(sampledToDevice) && draw.pixels->width() > 1 &&
         draw.pixels->height() > 1) {
    draw.level = draw.level ? &draw.level->half() : &image->halfSizePixels();
    draw.pixels = &draw.level->pixels();
    sampled = QRectF(sampled.topLeft() / 2, sampled.size() / 2);
    sampledToDevice = QTransform::fromScale(2, 2) * sampledToDevice;
  }
  draw.wholePixels = placesWholePixels(sampledToDevice, sampled);
  // Without smoothing, transformed images are sampled the way QPainter does.
  if (!draw.wholePixels && !state().interpolate) return false;
  draw.edges = sampled.toAlignedRect() & draw.pixels->rect();
  if (draw.edges.isEmpty()) return true;
  const QPolygonF outline = sourceToDevice.map(QPolygonF(QRectF(source)));
  draw.bounds = outline.boundingRect().toAlignedRect() & clip;
  if (draw.bounds.isEmpty()) return true;
  if (draw.wholePixels) {
    draw.offset =
        QPoint(int(std::round(sampledToDevice.dx())), int(std::round(sampledToDevice.dy())));
    draw.bounds &= draw.edges.translated(draw.offset);
    if (draw.bounds.isEmpty()) return true;
  } else {
    draw.deviceToSource = sampledToDevice.inverted();
    draw.coverage.emplace(outline, state().antialias);
  }
  draw.op = op;
  draw.fraction = float(fraction);
  imageDraws_->add(std::move(draw));
  if (imageDrawDeferral_ == 0) imageDraws_->run(*target);
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
  runDeferredImageDraws();
  const QRgb pixel = qPremultiply(color.rgba());
  // Rows addressed once, before any worker writes: QImage's own row access
  // detaches, which is not for threads.
  uchar* bits = target->bits();
  const qsizetype stride = target->bytesPerLine();
  forEachRow(bounds, [&](int y, std::vector<QRgb>& samples) {
    samples.assign(size_t(bounds.width()), pixel);
    auto* row = reinterpret_cast<uint32_t*>(bits + y * stride);
    compositeRow(op, samples.data(), row + bounds.left(), nullptr, bounds.width(),
                 float(state().alpha));
  });
  return true;
}

bool GraphicsContext::copyTileIntoDeviceRect(const QImage& tile, const QPoint& tileOrigin,
                                             const QRectF& deviceRect) {
  QImage* target = readableTarget();
  if (!target || target->format() != QImage::Format_ARGB32_Premultiplied || tile.isNull() ||
      tile.format() != QImage::Format_ARGB32_Premultiplied)
    return false;
  QRect clip;
  if (!rectangularDeviceClip(&clip)) return false;
  QRect bounds;
  if (deviceRect.contains(QRectF(clip)))
    bounds = clip;
  else if (whole(deviceRect.left()) && whole(deviceRect.top()) && whole(deviceRect.right()) &&
           whole(deviceRect.bottom()))
    bounds = deviceRect.toRect() & clip;
  else
    return false;
  if (bounds.isEmpty()) return true;
  runDeferredImageDraws();
  uchar* bits = target->bits();
  const qsizetype stride = target->bytesPerLine();
  const int tileWidth = tile.width(), tileHeight = tile.height();
  auto wrapped = [](int v, int period) { return ((v % period) + period) % period; };
  forEachRow(bounds, [&](int y, std::vector<QRgb>&) {
    const auto* pattern =
        reinterpret_cast<const QRgb*>(tile.constScanLine(wrapped(y - tileOrigin.y(), tileHeight)));
    QRgb* row = reinterpret_cast<QRgb*>(bits + y * stride) + bounds.left();
    int column = wrapped(bounds.left() - tileOrigin.x(), tileWidth);
    for (int x = 0; x < bounds.width(); column = 0) {
      const int run = std::min(tileWidth - column, bounds.width() - x);
      std::copy(pattern + column, pattern + column + run, row + x);
      x += run;
    }
  });
  return true;
}

}  // namespace gfx
