// The drawing operations: each describes what it paints and what it covers,
// and draw() decides whether QPainter can do it directly or it must be
// composited through a layer.
#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>
#include <algorithm>
#include <cmath>

#include "graphics/AttributedString.h"
#include "graphics/BezierPath.h"
#include "graphics/GraphicsContext.h"
#include "graphics/GraphicsState.h"
#include "graphics/ImageResampler.h"
#include "graphics/TextLayoutBuilder.h"

namespace gfx {
namespace {

// QPainter's equivalent where it has one; it is exact for source-over and
// close for the rest on targets we cannot read back (PDF, printers).
QPainter::CompositionMode qtMode(CompositingOperation op) {
  using Op = CompositingOperation;
  switch (op) {
    case Op::Clear:
      return QPainter::CompositionMode_Clear;
    case Op::Copy:
      return QPainter::CompositionMode_Source;
    case Op::SourceIn:
      return QPainter::CompositionMode_SourceIn;
    case Op::SourceOut:
      return QPainter::CompositionMode_SourceOut;
    case Op::SourceAtop:
      return QPainter::CompositionMode_SourceAtop;
    case Op::DestinationOver:
      return QPainter::CompositionMode_DestinationOver;
    case Op::DestinationIn:
      return QPainter::CompositionMode_DestinationIn;
    case Op::DestinationOut:
      return QPainter::CompositionMode_DestinationOut;
    case Op::DestinationAtop:
      return QPainter::CompositionMode_DestinationAtop;
    case Op::XOR:
      return QPainter::CompositionMode_Xor;
    case Op::PlusLighter:
      return QPainter::CompositionMode_Plus;
    case Op::Multiply:
      return QPainter::CompositionMode_Multiply;
    case Op::Screen:
      return QPainter::CompositionMode_Screen;
    case Op::Overlay:
      return QPainter::CompositionMode_Overlay;
    case Op::Darken:
      return QPainter::CompositionMode_Darken;
    case Op::Lighten:
      return QPainter::CompositionMode_Lighten;
    case Op::ColorDodge:
      return QPainter::CompositionMode_ColorDodge;
    case Op::ColorBurn:
      return QPainter::CompositionMode_ColorBurn;
    case Op::SoftLight:
      return QPainter::CompositionMode_SoftLight;
    case Op::HardLight:
      return QPainter::CompositionMode_HardLight;
    case Op::Difference:
      return QPainter::CompositionMode_Difference;
    case Op::Exclusion:
      return QPainter::CompositionMode_Exclusion;
    default:
      return QPainter::CompositionMode_SourceOver;
  }
}

QPainterPath rectPath(const QRectF& rect) {
  QPainterPath path;
  path.addRect(rect.normalized());
  return path;
}

// QPainter rasterizes a filled path whole and only then cuts it to the
// clip, so a large rectangle seen through a narrow clip (the margins of a
// view around its document) costs its full area. It is cut to one device
// pixel beyond the clip's pixels first: every pixel the clip lets through
// lies between the same edges as before.
QRectF clipReach(const QPainterPath& deviceClip) {
  return QRectF(deviceClip.boundingRect().toAlignedRect().adjusted(-1, -1, 1, 1));
}

// QPainter hands the spans of a fill to its own threads, 64 at a time, and
// waits for them: for a narrow rectangle each hand-off costs more than its
// pixels. Bands of rows few enough to stay under one hand-off (an
// antialiased row is up to three spans) are filled on the calling thread.
// Band edges fall on whole device rows and the rectangle keeps its own
// edges, so each pixel takes the same coverage as from the whole.
constexpr int RowsPerNarrowBand = 30;
constexpr double NarrowFillPixels = 256;

void fillInRowBands(QPainter& painter, const QRectF& user, const QRectF& device,
                    const QTransform& toUser, const QColor& color) {
  const int top = int(std::floor(device.top())), bottom = int(std::ceil(device.bottom()));
  for (int y = top; y < bottom; y += RowsPerNarrowBand) {
    const QRectF rows(device.left() - 1, y, device.width() + 2,
                      std::min(RowsPerNarrowBand, bottom - y));
    painter.fillPath(rectPath(user & toUser.mapRect(rows)), color);
  }
}

QGradientStops qtStops(const QVector<GradientStop>& stops) {
  QGradientStops result;
  for (const GradientStop& stop : stops)
    result.append({std::clamp(stop.location, 0.0, 1.0), stop.color});
  return result;
}

// Maps y-down drawing in `rect` (as QPainter draws images and text) onto
// the same rect in y-up user space, so the content's top is the rect's top.
QTransform uprightIn(const QRectF& rect) {
  return QTransform(1, 0, 0, -1, 0, 2 * rect.y() + rect.height());
}

}  // namespace

QRect GraphicsContext::deviceBounds() const {
  if (bitmap_) return bitmap_->rect();
  if (painter_ && painter_->device())
    return QRect(0, 0, painter_->device()->width(), painter_->device()->height());
  return {};
}

void GraphicsContext::draw(const DrawRequest& request, CompositingOperation op, double fraction) {
  if (!painter_) return;
  runDeferredImageDraws();
  double total = state().alpha * std::clamp(fraction, 0.0, 1.0);
  if (op == CompositingOperation::Highlight) op = CompositingOperation::SourceOver;
  // Source-over with an opacity is exactly what QPainter does; everything
  // else needs the fraction to scale the source, which only a layer gives.
  if (op != CompositingOperation::SourceOver) {
    if (QImage* target = readableTarget()) return drawThroughLayer(request, target, op, total);
  }
  drawDirect(request, op, total);
}

void GraphicsContext::drawDirect(const DrawRequest& request, CompositingOperation op,
                                 double fraction) {
  painter_->save();
  applyStateToPainter();
  painter_->setOpacity(fraction);
  painter_->setCompositionMode(qtMode(op));
  request.paint(*painter_);
  painter_->restore();
}

void GraphicsContext::fillRect(const QRectF& rect, const QColor& color, CompositingOperation op) {
  if (painter_ && fillRectIntoBitmap(rect, color, op)) return;
  DrawRequest request;
  request.paintsConcurrently = true;
  // Only QPainter's own fill touches the rectangle's pixels alone; the
  // layered path sizes its bands and masks by the rectangle itself.
  const bool direct = op == CompositingOperation::SourceOver ||
                      op == CompositingOperation::Highlight || !readableTarget();
  const QTransform toDevice = userToDevice();
  if (direct && toDevice.type() <= QTransform::TxScale && toDevice.isInvertible()) {
    const QTransform toUser = toDevice.inverted();
    QRectF user = rect.normalized();
    if (state().hasClip) user &= toUser.mapRect(clipReach(state().deviceClip));
    const QRectF device = toDevice.mapRect(user);
    if (device.width() <= NarrowFillPixels && device.height() > RowsPerNarrowBand) {
      request.coverage = rectPath(user);
      request.paint = [&](QPainter& painter) {
        fillInRowBands(painter, user, device, toUser, color);
      };
      return draw(request, op, 1.0);
    }
  }
  request.coverage = rectPath(rect);
  request.paint = [&](QPainter& painter) { painter.fillPath(request.coverage, color); };
  draw(request, op, 1.0);
}

void GraphicsContext::clearRect(const QRectF& rect) {
  fillRect(rect, Qt::transparent, CompositingOperation::Clear);
}

void GraphicsContext::fillPath(const BezierPath& path, const QColor& color) {
  DrawRequest request;
  request.coverage = path.toQPainterPath();
  request.paint = [&](QPainter& painter) { painter.fillPath(request.coverage, color); };
  draw(request, state().op, 1.0);
}

void GraphicsContext::strokePath(const BezierPath& path, const QColor& color) {
  DrawRequest request;
  request.coverage = path.strokedOutline();
  request.paint = [&](QPainter& painter) { painter.fillPath(request.coverage, color); };
  draw(request, state().op, 1.0);
}

namespace {

// Where a gradient paints: the clip when it extends both ways, otherwise the
// band (or disc) between its ends grown to cover everything else there.
QPainterPath linearGradientArea(const QRectF& clip, const QPointF& start, const QPointF& end,
                                int options) {
  QPainterPath all = rectPath(clip);
  QLineF axis(start, end);
  if (axis.length() <= 0) return {};
  const int both = GradientDrawsBeforeStartLocation | GradientDrawsAfterEndLocation;
  if ((options & both) == both) return all;
  // A band perpendicular to the axis, far longer than the clip.
  double reach = 4 * (std::hypot(clip.width(), clip.height()) + axis.length() + std::abs(clip.x()) +
                      std::abs(clip.y()));
  QPointF direction = (end - start) / axis.length();
  QPointF normal(-direction.y(), direction.x());
  QPointF from = options & GradientDrawsBeforeStartLocation ? start - direction * reach : start;
  QPointF to = options & GradientDrawsAfterEndLocation ? end + direction * reach : end;
  QPainterPath band;
  band.moveTo(from + normal * reach);
  band.lineTo(to + normal * reach);
  band.lineTo(to - normal * reach);
  band.lineTo(from - normal * reach);
  band.closeSubpath();
  return band.intersected(all);
}

}  // namespace

void GraphicsContext::drawLinearGradient(const QVector<GradientStop>& stops, const QPointF& start,
                                         const QPointF& end, int options) {
  if (stops.isEmpty()) return;
  DrawRequest request;
  request.coverage = linearGradientArea(clipBoundingBox(), start, end, options);
  if (request.coverage.isEmpty()) return;
  QLinearGradient gradient(start, end);
  gradient.setStops(qtStops(stops));
  gradient.setSpread(QGradient::PadSpread);
  request.paint = [&](QPainter& painter) { painter.fillPath(request.coverage, gradient); };
  draw(request, state().op, 1.0);
}

void GraphicsContext::drawRadialGradient(const QVector<GradientStop>& stops,
                                         const QPointF& startCenter, double startRadius,
                                         const QPointF& endCenter, double endRadius, int options) {
  if (stops.isEmpty()) return;
  DrawRequest request;
  QRectF clip = clipBoundingBox();
  if (options & GradientDrawsAfterEndLocation) {
    request.coverage = rectPath(clip);
  } else {
    request.coverage.addEllipse(endCenter, endRadius, endRadius);
    request.coverage = request.coverage.intersected(rectPath(clip));
  }
  if (!(options & GradientDrawsBeforeStartLocation) && startRadius > 0) {
    QPainterPath inner;
    inner.addEllipse(startCenter, startRadius, startRadius);
    request.coverage = request.coverage.subtracted(inner);
  }
  QRadialGradient gradient(endCenter, endRadius, startCenter, startRadius);
  gradient.setStops(qtStops(stops));
  request.paint = [&](QPainter& painter) { painter.fillPath(request.coverage, gradient); };
  draw(request, state().op, 1.0);
}

void GraphicsContext::drawImage(const CGImagePtr& image, const QRectF& destination,
                                const QRectF& sourcePixels, CompositingOperation op,
                                double fraction) {
  if (!image || image->qImage().isNull() || destination.isEmpty()) return;
  QRectF source = sourcePixels.isEmpty() ? QRectF(image->qImage().rect()) : sourcePixels;
  if (painter_) {
    const auto rowOp =
        op == CompositingOperation::Highlight ? CompositingOperation::SourceOver : op;
    if (drawImageIntoBitmap(image, destination, source, rowOp,
                            state().alpha * std::clamp(fraction, 0.0, 1.0)))
      return;
  }
  DrawRequest request;
  request.coverage = rectPath(destination);
  request.paintsConcurrently = true;
  request.paint = [&](QPainter& painter) {
    painter.setTransform(uprightIn(destination), true);
    // QPainter filters each pixel layout at a different precision, so
    // transformed draws are resampled here; the rest still see one layout.
    if (ImageResampler::draw(painter, *image, destination, source)) return;
    painter.drawImage(destination, image->drawingPixels(), source);
  };
  draw(request, op, fraction);
}

void GraphicsContext::drawAttributedString(const AttributedString& string, const QRectF& rect) {
  if (string.length() == 0 || rect.isEmpty()) return;
  saveGState();
  clipToRect(rect);
  QPointF topLeft(rect.x(), rect.y());  // in the upright (y-down) frame of `rect`
  DrawRequest request;
  request.coverage = rectPath(rect);
  request.paint = [&](QPainter& painter) {
    painter.setTransform(uprightIn(rect), true);
    TextLayoutBuilder(string, rect.width()).draw(painter, topLeft);
  };
  request.paintCoverage = [&](QPainter& painter) {
    painter.setTransform(uprightIn(rect), true);
    TextLayoutBuilder(string, rect.width(), TextLayoutBuilder::OpaqueWhite).draw(painter, topLeft);
  };
  draw(request, state().op, 1.0);
  restoreGState();
}

void GraphicsContext::drawAttributedStringAtPoint(const AttributedString& string,
                                                  const QPointF& point) {
  if (string.length() == 0) return;
  TextLayoutBuilder measure(string, 0);
  QSizeF size = measure.size();
  // The point is the baseline's start; the first line's ascent sits above it.
  double top = point.y() + measure.firstBaseline();
  QRectF rect(point.x(), top - size.height(), size.width() + 1, size.height());
  DrawRequest request;
  request.coverage = rectPath(rect);
  QPointF topLeft(rect.x(), rect.y());
  request.paint = [&](QPainter& painter) {
    painter.setTransform(uprightIn(rect), true);
    measure.draw(painter, topLeft);
  };
  request.paintCoverage = [&](QPainter& painter) {
    painter.setTransform(uprightIn(rect), true);
    TextLayoutBuilder(string, 0, TextLayoutBuilder::OpaqueWhite).draw(painter, topLeft);
  };
  draw(request, state().op, 1.0);
}

}  // namespace gfx
