#include "coreimage/TransformNode.h"

#include <cmath>

#include "coreimage/Vectorize.h"
#include "coreimage/WorkerPool.h"

namespace ci {

namespace {

bool isWholePixelShift(const QTransform& t) {
  return t.type() <= QTransform::TxTranslate && t.dx() == std::round(t.dx()) &&
         t.dy() == std::round(t.dy());
}

QRectF mappedBounds(const QRectF& r, const QTransform& t) {
  const QPointF corners[4] = {t.map(QPointF(r.x(), r.y())),
                              t.map(QPointF(r.x() + r.width(), r.y())),
                              t.map(QPointF(r.x(), r.y() + r.height())),
                              t.map(QPointF(r.x() + r.width(), r.y() + r.height()))};
  double x0 = corners[0].x(), x1 = x0, y0 = corners[0].y(), y1 = y0;
  for (const QPointF& c : corners) {
    x0 = std::min(x0, c.x()), x1 = std::max(x1, c.x());
    y0 = std::min(y0, c.y()), y1 = std::max(y1, c.y());
  }
  return QRectF(x0, y0, x1 - x0, y1 - y0);
}

// One output row: pixel i samples the source at (u0 + i·du, v0 + i·dv),
// pixel centres of the source sitting at half-integers.
CI_VECTORIZE void bilinearRow(const float* src, int sx, int sy, int sw, int sh, size_t stride,
                              double u0, double v0, double du, double dv, float* out, int count) {
  for (int i = 0; i < count; ++i, out += 4) {
    const double fx = u0 + i * du - 0.5 - sx, fy = v0 + i * dv - 0.5 - sy;
    const double flx = std::floor(fx), fly = std::floor(fy);
    const int ix = int(flx), iy = int(fly);
    const float tx = float(fx - flx), ty = float(fy - fly);
    float acc[4] = {0, 0, 0, 0};
    const float w[4] = {(1 - tx) * (1 - ty), tx * (1 - ty), (1 - tx) * ty, tx * ty};
    const int xs[4] = {ix, ix + 1, ix, ix + 1}, ys[4] = {iy, iy, iy + 1, iy + 1};
    for (int k = 0; k < 4; ++k) {
      if (xs[k] < 0 || ys[k] < 0 || xs[k] >= sw || ys[k] >= sh) continue;
      const float* p = src + size_t(ys[k]) * stride + size_t(xs[k]) * 4;
      for (int c = 0; c < 4; ++c) acc[c] += w[k] * p[c];
    }
    for (int c = 0; c < 4; ++c) out[c] = acc[c];
  }
}

void nearestRow(const float* src, int sx, int sy, int sw, int sh, size_t stride, double u0,
                double v0, double du, double dv, float* out, int count) {
  for (int i = 0; i < count; ++i, out += 4) {
    const int ix = int(std::floor(u0 + i * du)) - sx, iy = int(std::floor(v0 + i * dv)) - sy;
    if (ix < 0 || iy < 0 || ix >= sw || iy >= sh) {
      out[0] = out[1] = out[2] = out[3] = 0;
      continue;
    }
    const float* p = src + size_t(iy) * stride + size_t(ix) * 4;
    out[0] = p[0], out[1] = p[1], out[2] = p[2], out[3] = p[3];
  }
}

}  // namespace

QRectF TransformNode::transformedExtent(const QRectF& extent, const QTransform& t) {
  if (isInfinite(extent)) return InfiniteRect;
  if (isEmpty(extent)) return {};
  // The exact image of the extent, as layers size their bitmaps from it;
  // bilinear sampling softens the pixels along its edge instead of growing it.
  if (isWholePixelShift(t)) return extent.translated(t.dx(), t.dy());
  return mappedBounds(extent, t);
}

TransformNode::TransformNode(Image input, const QTransform& transform, Sampling sampling)
    : ImageNode(transformedExtent(input.extent(), transform)),
      input_(std::move(input)),
      transform_(transform),
      inverse_(transform.inverted()),
      sampling_(sampling),
      wholePixelShift_(isWholePixelShift(transform)) {}

QRectF TransformNode::regionOfInterest(int, const QRectF& rect) const {
  if (wholePixelShift_) return rect.translated(-transform_.dx(), -transform_.dy());
  // Past the input's edge there is only transparency, which resampling
  // supplies itself; a strong reduction would otherwise ask for a vast area.
  return intersect(mappedBounds(rect, inverse_).adjusted(-1, -1, 1, 1),
                   inset(input_.extent(), -1, -1));
}

void TransformNode::render(PixelBuffer& out) const {
  if (wholePixelShift_) {
    const IRect& r = out.rect();
    PixelBuffer shifted = out.relabeled(r.x - int(transform_.dx()), r.y - int(transform_.dy()));
    renderInto(*input_.node(), shifted);
    return;
  }
  const PixelBuffer in = renderInput(0, input_, out.rect());
  resampleRows(in, out);
}

void TransformNode::resampleRows(const PixelBuffer& in, PixelBuffer& out) const {
  const IRect& r = out.rect();
  const IRect& s = in.rect();
  const double du = inverse_.m11(), dv = inverse_.m12();
  WorkerPool::parallelBands(r.h, bandRows(r.w, 16384), [&](int begin, int end) {
    for (int y = r.y + begin; y < r.y + end; ++y) {
      const QPointF start = inverse_.map(QPointF(r.x + 0.5, y + 0.5));
      if (in.isNull()) {
        std::fill(out.row(y), out.row(y) + size_t(r.w) * 4, 0.0f);
      } else if (sampling_ == Sampling::Linear) {
        bilinearRow(in.row(s.y), s.x, s.y, s.w, s.h, in.stride(), start.x(), start.y(), du, dv,
                    out.row(y), r.w);
      } else {
        nearestRow(in.row(s.y), s.x, s.y, s.w, s.h, in.stride(), start.x(), start.y(), du, dv,
                   out.row(y), r.w);
      }
    }
  });
}

}  // namespace ci
