#include "graphics/ImageResampler.h"

#include <QPaintEngine>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>
#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "graphics/CGImage.h"

namespace gfx {
namespace {

// Sample positions are 32.32 fixed point, so stepping across a row of
// thousands of pixels drifts by far less than a weight step. Weights carry 12
// fractional bits: two rows of two pixels blend below 2^32 per channel, and
// the rounding they add is under 1/16 of a unit.
constexpr int PositionBits = 32;
constexpr int WeightBits = 12;
constexpr uint64_t WeightOne = 1u << WeightBits;
constexpr int BandRows = 64;

#ifdef __SSE2__
// Blends four channels at a time. The horizontal blend is exact;
// keeping 7 of its 12 fractional bits for the vertical one leaves an error
// under 1/128 of a unit before the final rounding.
inline QRgb blend(QRgb p00, QRgb p01, QRgb p10, QRgb p11, uint64_t wx, uint64_t wy) {
  const __m128i zero = _mm_setzero_si128();
  auto pairs = [&](QRgb a, QRgb b) {
    return _mm_unpacklo_epi8(
        _mm_unpacklo_epi8(_mm_cvtsi32_si128(int(a)), _mm_cvtsi32_si128(int(b))), zero);
  };
  auto weights = [](uint64_t w) { return _mm_set1_epi32(int((w << 16) | (WeightOne - w))); };
  __m128i across = weights(wx);
  __m128i upper = _mm_srli_epi32(_mm_madd_epi16(pairs(p00, p01), across), WeightBits - 7);
  __m128i lower = _mm_srli_epi32(_mm_madd_epi16(pairs(p10, p11), across), WeightBits - 7);
  __m128i rows = _mm_packs_epi32(upper, lower);
  rows = _mm_unpacklo_epi16(rows, _mm_srli_si128(rows, 8));
  __m128i sum =
      _mm_add_epi32(_mm_madd_epi16(rows, weights(wy)), _mm_set1_epi32(1 << (WeightBits + 7 - 1)));
  __m128i result = _mm_srli_epi32(sum, WeightBits + 7);
  result = _mm_packs_epi32(result, result);
  return QRgb(_mm_cvtsi128_si32(_mm_packus_epi16(result, result)));
}
#else
// Two channels of a pixel in the two 32-bit halves of a word, so one
// multiplication weighs both: blue and red, or green and alpha.
inline uint64_t blueRed(QRgb p) { return (p & 0xff) | (uint64_t(p & 0xff0000) << 16); }
inline uint64_t greenAlpha(QRgb p) { return ((p >> 8) & 0xff) | (uint64_t(p & 0xff000000) << 8); }

inline uint64_t blendLanes(uint64_t p00, uint64_t p01, uint64_t p10, uint64_t p11, uint64_t wx,
                           uint64_t wy) {
  constexpr uint64_t half = (uint64_t(1) << (2 * WeightBits - 1)) * 0x100000001ull;
  uint64_t top = p00 * (WeightOne - wx) + p01 * wx;
  uint64_t bottom = p10 * (WeightOne - wx) + p11 * wx;
  return ((top * (WeightOne - wy) + bottom * wy + half) >> (2 * WeightBits)) & 0xff000000ffull;
}

inline QRgb blend(QRgb p00, QRgb p01, QRgb p10, QRgb p11, uint64_t wx, uint64_t wy) {
  uint64_t br = blendLanes(blueRed(p00), blueRed(p01), blueRed(p10), blueRed(p11), wx, wy);
  uint64_t ga =
      blendLanes(greenAlpha(p00), greenAlpha(p01), greenAlpha(p10), greenAlpha(p11), wx, wy);
  return QRgb(br | (br >> 16) | (ga << 8) | (ga >> 8));
}
#endif

int64_t fixedPoint(double v) { return std::llround(std::ldexp(v, PositionBits)); }

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

void ImageResampler::resampleRow(const QImage& pixels, const QRect& edges,
                                 const QTransform& targetToSource, int left, int y, int width,
                                 QRgb* row) {
  const int edgeLeft = edges.left(), edgeRight = edges.right();
  const int top = edges.top(), bottom = edges.bottom();
  const uchar* bits = pixels.constBits();
  const qsizetype stride = pixels.bytesPerLine();
  auto pixelAt = [&](int x, int y) { return reinterpret_cast<const QRgb*>(bits + y * stride)[x]; };
  const int64_t stepU = fixedPoint(targetToSource.m11());
  const int64_t stepV = fixedPoint(targetToSource.m12());
  // How far in the image one target pixel reaches, beyond which it is outside.
  const double reach = std::abs(targetToSource.m11()) + std::abs(targetToSource.m21()) +
                       std::abs(targetToSource.m12()) + std::abs(targetToSource.m22()) + 1;
  // Pixel centres sit at half-integers in both grids.
  QPointF start = targetToSource.map(QPointF(left + 0.5, y + 0.5));
  double u0 = start.x() - 0.5, v0 = start.y() - 0.5;
  int first = 0, last = width;
  spanWithin(u0, targetToSource.m11(), edgeLeft - 0.5, edgeRight + 0.5, reach, &first, &last);
  spanWithin(v0, targetToSource.m12(), top - 0.5, bottom + 0.5, reach, &first, &last);
  std::fill(row, row + first, 0);
  std::fill(row + last, row + width, 0);
  // Stepping from the target's own column 0 gives every pixel the same
  // sample whichever band or clip it is drawn in.
  QPointF rowStart = targetToSource.map(QPointF(0.5, y + 0.5));
  int64_t u = fixedPoint(rowStart.x() - 0.5) + (left + first) * stepU;
  int64_t v = fixedPoint(rowStart.y() - 0.5) + (left + first) * stepV;
  for (int x = first; x < last; ++x, u += stepU, v += stepV) {
    int x0 = int(u >> PositionBits), y0 = int(v >> PositionBits);
    uint64_t wx = uint64_t(u >> (PositionBits - WeightBits)) & (WeightOne - 1);
    uint64_t wy = uint64_t(v >> (PositionBits - WeightBits)) & (WeightOne - 1);
    if (x0 >= edgeLeft && x0 < edgeRight && y0 >= top && y0 < bottom) {
      const QRgb* upper = reinterpret_cast<const QRgb*>(bits + y0 * stride) + x0;
      const QRgb* lower = reinterpret_cast<const QRgb*>(bits + (y0 + 1) * stride) + x0;
      row[x] = blend(upper[0], upper[1], lower[0], lower[1], wx, wy);
    } else {
      // Near the edges samples repeat the border pixels.
      int xa = std::clamp(x0, edgeLeft, edgeRight), xb = std::clamp(x0 + 1, edgeLeft, edgeRight);
      int ya = std::clamp(y0, top, bottom), yb = std::clamp(y0 + 1, top, bottom);
      row[x] = blend(pixelAt(xa, ya), pixelAt(xb, ya), pixelAt(xa, yb), pixelAt(xb, yb), wx, wy);
    }
  }
}

}  // namespace gfx
