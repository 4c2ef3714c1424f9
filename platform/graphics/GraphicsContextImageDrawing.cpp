// Images drawn straight onto 8-bit premultiplied bitmaps: the drawing path of
// flattening and of the canvas. Only the device pixels inside the clip and
// the image's outline are visited; each row is sampled from the image (read
// in place for whole-pixel placements, bilinearly filtered otherwise, the
// nearest pixel without smoothing), composited with compositeRow(), and
// rows are split into bands over the shared worker pool (ImageDrawBatch).
// Fills and tiles take the same road.
// A rectangular clip whose edges fall between pixels (a canvas at most
// zooms) is folded into each draw's coverage.
// Inside an image batch the draws wait and are then composited together,
// band by band. Everything else goes through draw().
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <vector>

#include "graphics/GraphicsContext.h"
#include "graphics/GraphicsState.h"
#include "graphics/ImageDrawBatch.h"
#include "graphics/ReducedPixels.h"

namespace gfx {
namespace {

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

bool wholeRect(const QRectF& r) {
  return whole(r.left()) && whole(r.top()) && whole(r.right()) && whole(r.bottom());
}

// The rectangle a path describes when it is an axis-aligned rectangle (a
// clip made of clipToRect calls).
bool axisAlignedRectangle(const QPainterPath& path, QRectF* rect) {
  const int count = path.elementCount();
  if (count < 4 || count > 6) return false;
  const QRectF box = path.boundingRect();
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
  *rect = box;
  return true;
}

// The coverage of a device rectangle under `clip`, into `bounds`: none when
// both fall on whole pixels.
std::optional<ConvexCoverage> rectangleCoverage(const QRectF& rect,
                                                const std::optional<QRectF>& exactClip,
                                                const QRect& clip, bool antialias, QRect* bounds) {
  const QRectF inside = rect & (exactClip ? *exactClip : QRectF(clip));
  if (wholeRect(inside)) {
    *bounds = inside.toRect() & clip;
    return std::nullopt;
  }
  *bounds = inside.toAlignedRect() & clip;
  return ConvexCoverage(QPolygonF(inside), antialias);
}

// A narrow tile repeated across, so each row is copied in a few long runs.
QImage widened(const QImage& tile) {
  constexpr int Width = 512;
  const int period = tile.width();
  if (period <= 1 || period >= Width) return tile;
  const int repeats = (Width + period - 1) / period;
  QImage wide(period * repeats, tile.height(), QImage::Format_ARGB32_Premultiplied);
  if (wide.isNull()) return tile;
  for (int y = 0; y < tile.height(); ++y) {
    const auto* from = reinterpret_cast<const QRgb*>(tile.constScanLine(y));
    auto* to = reinterpret_cast<QRgb*>(wide.scanLine(y));
    for (int r = 0; r < repeats; ++r) std::copy(from, from + period, to + r * period);
  }
  return wide;
}

}  // namespace

bool GraphicsContext::rectangularDeviceClip(RectangularClip* clip) const {
  clip->pixels = deviceBounds();
  clip->exact.reset();
  if (!state().hasClip) return true;
  QRectF rect;
  if (!axisAlignedRectangle(state().deviceClip, &rect)) return false;
  if (wholeRect(rect)) {
    clip->pixels &= rect.toRect();
  } else {
    clip->pixels &= rect.toAlignedRect();
    clip->exact = rect;
  }
  return true;
}

bool GraphicsContext::drawImageIntoBitmap(const CGImagePtr& image, const QRectF& destination,
                                          const QRectF& source, CompositingOperation op,
                                          double fraction) {
  QImage* target = readableTarget();
  if (!target || target->format() != QImage::Format_ARGB32_Premultiplied ||
      image->bitsPerComponent() != 8 || source.isEmpty())
    return false;
  RectangularClip clip;
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
  draw.nearest = !draw.wholePixels && !state().interpolate;
  draw.edges = sampled.toAlignedRect() & draw.pixels->rect();
  if (draw.edges.isEmpty()) return true;
  const QPolygonF outline = sourceToDevice.map(QPolygonF(QRectF(source)));
  draw.bounds = outline.boundingRect().toAlignedRect() & clip.pixels;
  if (draw.bounds.isEmpty()) return true;
  if (draw.wholePixels) {
    draw.offset =
        QPoint(int(std::round(sampledToDevice.dx())), int(std::round(sampledToDevice.dy())));
    draw.bounds &= draw.edges.translated(draw.offset);
    if (draw.bounds.isEmpty()) return true;
    if (clip.exact)
      draw.coverage.emplace(
          ConvexCoverage::clippedToRect(QPolygonF(QRectF(draw.bounds)), *clip.exact),
          state().antialias);
  } else {
    draw.deviceToSource = sampledToDevice.inverted();
    draw.coverage.emplace(
        clip.exact ? ConvexCoverage::clippedToRect(outline, *clip.exact) : outline,
        state().antialias);
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
  RectangularClip clip;
  if (!rectangularDeviceClip(&clip)) return false;
  QRect bounds;
  std::optional<ConvexCoverage> coverage =
      rectangleCoverage(device, clip.exact, clip.pixels, state().antialias, &bounds);
  if (bounds.isEmpty()) return true;
  QImage pixel(1, 1, QImage::Format_ARGB32_Premultiplied);
  if (pixel.isNull()) return false;
  pixel.setPixel(0, 0, qPremultiply(color.rgba()));
  drawTileIntoBitmap(*target, pixel, QPoint(), bounds, std::move(coverage), op, state().alpha);
  return true;
}

void GraphicsContext::drawTileIntoBitmap(QImage& target, const QImage& tile, const QPoint& origin,
                                         const QRect& bounds,
                                         std::optional<ConvexCoverage> coverage,
                                         CompositingOperation op, double fraction) {
  ImageDraw draw;
  draw.tile = widened(tile);
  draw.wholePixels = true;
  draw.offset = origin;
  draw.bounds = bounds;
  draw.coverage = std::move(coverage);
  draw.op = op;
  draw.fraction = float(fraction);
  imageDraws_->add(std::move(draw));
  if (imageDrawDeferral_ == 0) imageDraws_->run(target);
}

bool GraphicsContext::copyTileIntoDeviceRect(const QImage& tile, const QPoint& tileOrigin,
                                             const QRectF& deviceRect) {
  QImage* target = readableTarget();
  if (!target || target->format() != QImage::Format_ARGB32_Premultiplied || tile.isNull() ||
      tile.format() != QImage::Format_ARGB32_Premultiplied)
    return false;
  RectangularClip clip;
  if (!rectangularDeviceClip(&clip)) return false;
  // A rectangle reaching past the clip is cut by it alone.
  const QRectF clipRect = clip.exact ? *clip.exact : QRectF(clip.pixels);
  const QRectF rect = deviceRect.contains(clipRect) ? clipRect : deviceRect;
  QRect bounds;
  std::optional<ConvexCoverage> coverage =
      rectangleCoverage(rect, clip.exact, clip.pixels, state().antialias, &bounds);
  if (bounds.isEmpty()) return true;
  drawTileIntoBitmap(*target, tile, tileOrigin, bounds, std::move(coverage),
                     CompositingOperation::Copy, 1);
  return true;
}

}  // namespace gfx
