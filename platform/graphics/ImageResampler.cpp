#include "graphics/ImageResampler.h"

#include <QPaintEngine>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

#include "graphics/BilinearSpan.h"
#include "graphics/CGImage.h"

namespace gfx {
namespace {

// Sample positions are 32.32 fixed point, so stepping across a row of
// thousands of pixels drifts by far less than a weight step.
constexpr int PositionBits = 32;
constexpr int BandRows = 64;

// Scaling by a power of two is exact, so this is ldexp without its call on
// every row.
int64_t fixedPoint(double v) { return std::llround(v * double(int64_t(1) << PositionBits)); }

// The columns [first, last) of a row whose samples, stepping by `step` from
// `start`, stay within `margin` of [low, high]; beyond them the image's
// outline covers nothing.
void spanWithin(double start, double step, double low, double high, double margin, int* first,
                int* last) {
  low -= margin;
  high += margin;
  if (std::abs(step) < 1e-12) {
    if (start < low || start > high) *last = *first;
    return;
  }
  double a = (low - start) / step, b = (high - start) / step;
  if (a > b) std::swap(a, b);
  *first = std::max(*first, int(std::clamp(std::floor(a), -1.0, double(*last))));
  *last = std::min(*last, int(std::clamp(std::ceil(b) + 1, -1.0, double(*last))));
  if (*last < *first) *last = *first;
}

}  // namespace

bool ImageResampler::placesWholePixels(const QTransform& sourceToTarget, const QRectF& source) {
  auto whole = [](double v) { return std::abs(v - std::round(v)) < 1e-9; };
  return sourceToTarget.type() <= QTransform::TxTranslate && whole(sourceToTarget.dx()) &&
         whole(sourceToTarget.dy()) && whole(source.x()) && whole(source.y()) &&
         whole(source.width()) && whole(source.height());
}

bool ImageResampler::draw(QPainter& painter, const CGImage& image, const QRectF& destination,
                          const QRectF& source) {
  if (!painter.testRenderHint(QPainter::SmoothPixmapTransform) || image.bitsPerComponent() != 8 ||
      source.isEmpty() || destination.isEmpty())
    return false;
  // Only a plain image's pixels are the painter's device pixels.
  if (!painter.device() || painter.device()->devType() != QInternal::Image ||
      !painter.paintEngine() || painter.paintEngine()->type() != QPaintEngine::Raster)
    return false;
  auto* target = static_cast<QImage*>(painter.device());
  if (target->devicePixelRatio() != 1.0) return false;

  QTransform sourceToDestination = QTransform::fromTranslate(-source.x(), -source.y()) *
                                   QTransform::fromScale(destination.width() / source.width(),
                                                         destination.height() / source.height()) *
                                   QTransform::fromTranslate(destination.x(), destination.y());
  QTransform sourceToTarget = sourceToDestination * painter.worldTransform();
  if (placesWholePixels(sourceToTarget, source) || sourceToTarget.type() == QTransform::TxProject ||
      !sourceToTarget.isInvertible())
    return false;

  QRect bounds = sourceToTarget.mapRect(source).toAlignedRect() & target->rect();
  if (painter.hasClipping())
    bounds &= painter.worldTransform().mapRect(painter.clipBoundingRect()).toAlignedRect();
  if (bounds.isEmpty()) return true;

  const QImage& pixels = image.drawingPixels();
  QRect edges = source.toAlignedRect() & pixels.rect();
  if (edges.isEmpty()) return true;
  QTransform targetToSource = sourceToTarget.inverted();

  // The destination's outline decides coverage (antialiased or not, as the
  // painter's hints say), exactly as for QPainter's own image drawing. Bands
  // of rows keep the sampled pixels small and in cache; each fills only its
  // own part of the outline, as band edges fall between pixel rows.
  QPolygonF outline = painter.worldTransform().map(QPolygonF(destination));
  QImage band(bounds.width(), std::min(BandRows, bounds.height()),
              QImage::Format_ARGB32_Premultiplied);
  if (band.isNull()) return false;  // out of memory: QPainter's own path needs none
  painter.save();
  painter.resetTransform();
  painter.setPen(Qt::NoPen);
  for (int top = bounds.top(); top <= bounds.bottom(); top += band.height()) {
    resample(pixels, edges, targetToSource, QPoint(bounds.left(), top), band);
    QPainterPath part;
    part.addPolygon(outline.intersected(QRectF(bounds.left(), top, bounds.width(), band.height())));
    QBrush brush(band);
    brush.setTransform(QTransform::fromTranslate(bounds.left(), top));
    painter.fillPath(part, brush);
  }
  painter.restore();
  return true;
}

void ImageResampler::resample(const QImage& pixels, const QRect& edges,
                              const QTransform& targetToSource, const QPoint& origin, QImage& out) {
  for (int y = 0; y < out.height(); ++y)
    resampleRow(pixels, edges, targetToSource, origin.x(), origin.y() + y, out.width(),
                reinterpret_cast<QRgb*>(out.scanLine(y)));
}

namespace {

BilinearSpan spanOver(const QImage& pixels, const QRect& edges, const QTransform& targetToSource) {
  BilinearSpan span;
  span.bits = pixels.constBits();
  span.stride = pixels.bytesPerLine();
  span.left = edges.left();
  span.right = edges.right();
  span.top = edges.top();
  span.bottom = edges.bottom();
  span.rowStepU = fixedPoint(targetToSource.m21());
  span.rowStepV = fixedPoint(targetToSource.m22());
  return span;
}

// Where target row `y`'s column 0 samples. Stepping from the target's own
// column 0 gives every pixel the same sample whichever band or clip it is
// drawn in.
QPointF rowOrigin(const QTransform& targetToSource, int y) {
  const QPointF start = targetToSource.map(QPointF(0.5, y + 0.5));
  return QPointF(start.x() - 0.5, start.y() - 0.5);
}

}  // namespace

BilinearColumns ImageResampler::columns(const QRect& edges, const QTransform& targetToSource,
                                        int left, int width) {
  if (targetToSource.m12() != 0 || targetToSource.m21() != 0) return {};
  const BilinearSpan span = spanOver(QImage(), edges, targetToSource);
  return BilinearColumns(span, fixedPoint(rowOrigin(targetToSource, 0).x()),
                         fixedPoint(targetToSource.m11()), left, width);
}

void ImageResampler::resampleRow(const QImage& pixels, const QRect& edges,
                                 const QTransform& targetToSource, int left, int y, int width,
                                 QRgb* row, const BilinearColumns* columns) {
  const BilinearSpan span = spanOver(pixels, edges, targetToSource);
  const int64_t stepU = fixedPoint(targetToSource.m11());
  const int64_t stepV = fixedPoint(targetToSource.m12());
  // How far in the image one target pixel reaches, beyond which it is outside.
  const double reach = std::abs(targetToSource.m11()) + std::abs(targetToSource.m21()) +
                       std::abs(targetToSource.m12()) + std::abs(targetToSource.m22()) + 1;
  // Pixel centres sit at half-integers in both grids.
  QPointF start = targetToSource.map(QPointF(left + 0.5, y + 0.5));
  double u0 = start.x() - 0.5, v0 = start.y() - 0.5;
  int first = 0, last = width;
  spanWithin(u0, targetToSource.m11(), span.left - 0.5, span.right + 0.5, reach, &first, &last);
  spanWithin(v0, targetToSource.m12(), span.top - 0.5, span.bottom + 0.5, reach, &first, &last);
  std::fill(row, row + first, 0);
  std::fill(row + last, row + width, 0);
  const QPointF origin = rowOrigin(targetToSource, y);
  const int64_t originU = fixedPoint(origin.x());
  const int64_t u = originU + (left + first) * stepU;
  const int64_t v = fixedPoint(origin.y()) + (left + first) * stepV;
  if (columns && stepV == 0 && columns->holds(originU, stepU, left + first, last - first))
    columns->sample(span, v, left + first, last - first, row + first);
  else
    span.sample(u, v, stepU, stepV, last - first, row + first);
}

void ImageResampler::nearestRow(const QImage& pixels, const QRect& edges,
                                const QTransform& targetToSource, int left, int y, int width,
                                QRgb* row) {
  // In QPainter's 16.16 fixed point, from the start of the run: the source
  // is nudged back by one step, so a centre landing on a pixel boundary
  // takes the pixel before it, and each pixel steps by the truncated
  // increment.
  constexpr double One = 65536;
  const QPointF start = targetToSource.map(QPointF(left + 0.5, y + 0.5));
  int fx = int((start.x() - 1 / One) * One), fy = int((start.y() - 1 / One) * One);
  const int stepX = int(targetToSource.m11() * One), stepY = int(targetToSource.m12() * One);
  const uchar* bits = pixels.constBits();
  const qsizetype stride = pixels.bytesPerLine();
  for (int x = 0; x < width; ++x, fx += stepX, fy += stepY) {
    const int column = std::clamp(fx >> 16, edges.left(), edges.right());
    const int line = std::clamp(fy >> 16, edges.top(), edges.bottom());
    row[x] = reinterpret_cast<const QRgb*>(bits + line * stride)[column];
  }
}

}  // namespace gfx
