// Drawing with operations QPainter cannot do as defined (or not with a
// fraction that scales the source): the drawing is rendered into a layer, its
// coverage into a mask, and both are composited onto the target's pixels with
// compositePixelsWithCoverage(), a band of rows at a time. Only targets whose
// pixels can be read back (bitmaps, painters on QImage) take this path.
#include <QPainter>
#include <cmath>
#include <vector>

#include "foundation/WorkerPool.h"
#include "graphics/GraphicsContext.h"
#include "graphics/GraphicsState.h"

namespace gfx {
namespace {

constexpr QImage::Format WorkFormat = QImage::Format_RGBA32FPx4_Premultiplied;
constexpr int BandPixels = 1 << 18;

bool hasFastRows(QImage::Format format) {
  return format == QImage::Format_ARGB32_Premultiplied ||
         format == QImage::Format_RGBA8888_Premultiplied ||
         format == QImage::Format_RGBA64_Premultiplied || format == WorkFormat;
}

// `width` pixels of row `y` from column `x`, as premultiplied RGBA floats.
void readRow(const QImage& image, int x, int y, int width, float* out) {
  const uchar* line = image.constScanLine(y);
  switch (image.format()) {
    case QImage::Format_ARGB32_Premultiplied: {
      const QRgb* p = reinterpret_cast<const QRgb*>(line) + x;
      for (int i = 0; i < width; ++i) {
        out[4 * i] = qRed(p[i]) / 255.0f;
        out[4 * i + 1] = qGreen(p[i]) / 255.0f;
        out[4 * i + 2] = qBlue(p[i]) / 255.0f;
        out[4 * i + 3] = qAlpha(p[i]) / 255.0f;
      }
      return;
    }
    case QImage::Format_RGBA8888_Premultiplied: {
      const uchar* p = line + 4 * x;
      for (int i = 0; i < 4 * width; ++i) out[i] = p[i] / 255.0f;
      return;
    }
    case QImage::Format_RGBA64_Premultiplied: {
      const quint16* p = reinterpret_cast<const quint16*>(line) + 4 * x;
      for (int i = 0; i < 4 * width; ++i) out[i] = p[i] / 65535.0f;
      return;
    }
    case WorkFormat:
      std::copy_n(reinterpret_cast<const float*>(line) + 4 * x, 4 * width, out);
      return;
    default: {
      QImage row = image.copy(x, y, width, 1).convertToFormat(WorkFormat);
      std::copy_n(reinterpret_cast<const float*>(row.constBits()), 4 * width, out);
    }
  }
}

template <class T>
T quantize(float v, float scale) {
  return T(std::lround(std::clamp(v, 0.0f, 1.0f) * scale));
}

// Writes premultiplied floats into a row of a format hasFastRows() accepts.
void writeRow(uchar* line, QImage::Format format, int x, int width, const float* in) {
  switch (format) {
    case QImage::Format_ARGB32_Premultiplied: {
      QRgb* p = reinterpret_cast<QRgb*>(line) + x;
      for (int i = 0; i < width; ++i)
        p[i] = qRgba(quantize<int>(in[4 * i], 255), quantize<int>(in[4 * i + 1], 255),
                     quantize<int>(in[4 * i + 2], 255), quantize<int>(in[4 * i + 3], 255));
      return;
    }
    case QImage::Format_RGBA8888_Premultiplied:
      for (int i = 0; i < 4 * width; ++i) line[4 * x + i] = quantize<uchar>(in[i], 255);
      return;
    case QImage::Format_RGBA64_Premultiplied: {
      quint16* p = reinterpret_cast<quint16*>(line) + 4 * x;
      for (int i = 0; i < 4 * width; ++i) p[i] = quantize<quint16>(in[i], 65535);
      return;
    }
    default:
      std::copy_n(in, 4 * width, reinterpret_cast<float*>(line) + 4 * x);
  }
}

// The coverage of one mask row (its alpha).
void coverageRow(const QImage& mask, int y, float* out) {
  const QRgb* row = reinterpret_cast<const QRgb*>(mask.constScanLine(y));
  for (int x = 0; x < mask.width(); ++x) out[x] = qAlpha(row[x]) / 255.0f;
}

// The layer holds the drawing already multiplied by its coverage (that is how
// it was painted); dividing it out leaves the source colour the operation
// works with.
void uncoverSourceRow(float* source, const float* coverage, int width) {
  for (int x = 0; x < width; ++x) {
    float* p = source + 4 * x;
    float c = coverage[x];
    float k = c > 0 ? 1.0f / c : 0.0f;
    for (int i = 0; i < 4; ++i) p[i] = std::min(p[i] * k, 1.0f);
  }
}

void prepareLayerPainter(QPainter& painter, const QTransform& userToLayer, bool antialias,
                         bool interpolate) {
  painter.setRenderHint(QPainter::Antialiasing, antialias);
  painter.setRenderHint(QPainter::SmoothPixmapTransform, interpolate);
  painter.setTransform(userToLayer);
}

// Whether `coverage` fills exactly the whole-pixel rectangle `device` under
// `toDevice`, so every pixel inside is fully covered and no mask is needed.
bool coversWholePixels(const QPainterPath& coverage, const QTransform& toDevice, QRect* device) {
  if (coverage.elementCount() != 5 || toDevice.m12() != 0 || toDevice.m21() != 0 ||
      toDevice.type() > QTransform::TxScale)
    return false;
  QRectF rect = coverage.boundingRect();
  QPainterPath exact;
  exact.addRect(rect);
  if (exact != coverage) return false;
  QRectF mapped = toDevice.mapRect(rect);
  auto whole = [](double v) { return std::abs(v - std::round(v)) < 1e-6; };
  if (!whole(mapped.left()) || !whole(mapped.top()) || !whole(mapped.right()) ||
      !whole(mapped.bottom()))
    return false;
  *device = mapped.toAlignedRect();
  return true;
}

}  // namespace

QImage* GraphicsContext::readableTarget() const {
  if (bitmap_) return bitmap_.get();
  if (!painter_ || !painter_->device() || painter_->device()->devType() != QInternal::Image)
    return nullptr;
  // A high-density image maps painter coordinates onto several pixels; its
  // pixels no longer line up with the bands, so QPainter's modes take over.
  auto* image = static_cast<QImage*>(painter_->device());
  return image->devicePixelRatio() == 1.0 ? image : nullptr;
}

void GraphicsContext::drawThroughLayer(const DrawRequest& request, QImage* target,
                                       CompositingOperation op, double fraction) {
  const State& s = state();
  QRect bounds =
      userToDevice().map(request.coverage).boundingRect().toAlignedRect() & deviceBounds();
  if (s.hasClip) bounds &= s.deviceClip.boundingRect().toAlignedRect();
  if (bounds.isEmpty()) return;
  // Bands keep the float working copies small however large the drawing is.
  // Each band paints into its own layer and touches only its own rows of a
  // target read in place, so bands of a drawing that may be painted from
  // several threads are composited in parallel.
  const bool concurrent = request.paintsConcurrently && hasFastRows(target->format());
  const int bandHeight = std::max(1, BandPixels / bounds.width());
  const int bands = (bounds.height() + bandHeight - 1) / bandHeight;
  auto compositeBandAt = [&](int index) {
    const int top = bounds.top() + index * bandHeight;
    const QRect band(bounds.left(), top, bounds.width(),
                     std::min(bandHeight, bounds.bottom() + 1 - top));
    compositeBand(request, target, band, op, fraction);
  };
  if (concurrent) {
    fnd::WorkerPool::parallelFor(bands, compositeBandAt);
  } else {
    for (int index = 0; index < bands; ++index) compositeBandAt(index);
  }
}

void GraphicsContext::compositeBand(const DrawRequest& request, QImage* target, const QRect& band,
                                    CompositingOperation op, double fraction) {
  const State& s = state();
  QTransform userToLayer = userToDevice() * QTransform::fromTranslate(-band.x(), -band.y());
  QImage::Format layerFormat = target->depth() > 32 ? QImage::Format_RGBA64_Premultiplied
                                                    : QImage::Format_ARGB32_Premultiplied;
  QImage source(band.size(), layerFormat);
  source.fill(Qt::transparent);
  {
    QPainter painter(&source);
    prepareLayerPainter(painter, userToLayer, s.antialias, s.interpolate);
    request.paint(painter);
  }
  QRect solid;
  bool needsMask = s.hasClip || request.paintCoverage ||
                   !coversWholePixels(request.coverage, userToDevice(), &solid);
  QImage mask;
  if (needsMask) {
    mask = QImage(band.size(), QImage::Format_ARGB32_Premultiplied);
    mask.fill(Qt::transparent);
    QPainter painter(&mask);
    if (s.hasClip) painter.setClipPath(s.deviceClip.translated(-band.x(), -band.y()));
    prepareLayerPainter(painter, userToLayer, s.antialias, s.interpolate);
    if (request.paintCoverage)
      request.paintCoverage(painter);
    else
      painter.fillPath(request.coverage, Qt::white);
  }

  // Fast formats are read and written in place; the painter has no pending
  // work (the raster engine paints synchronously), and the buffer is not
  // shared while a painter is active on it.
  bool inPlace = hasFastRows(target->format());
  QImage converted;
  if (!inPlace) converted = target->copy(band).convertToFormat(WorkFormat);
  std::vector<float> sourceRow(4 * size_t(band.width()));
  std::vector<float> destinationRow(4 * size_t(band.width()));
  std::vector<float> coverage(band.width(), 1.0f);
  for (int y = 0; y < band.height(); ++y) {
    if (needsMask) coverageRow(mask, y, coverage.data());
    readRow(source, 0, y, band.width(), sourceRow.data());
    if (needsMask) uncoverSourceRow(sourceRow.data(), coverage.data(), band.width());
    if (inPlace)
      readRow(*target, band.x(), band.y() + y, band.width(), destinationRow.data());
    else
      readRow(converted, 0, y, band.width(), destinationRow.data());
    compositePixelsWithCoverage(op, sourceRow.data(), destinationRow.data(),
                                needsMask ? coverage.data() : nullptr, band.width(),
                                float(fraction));
    if (inPlace)
      writeRow(const_cast<uchar*>(target->constScanLine(band.y() + y)), target->format(), band.x(),
               band.width(), destinationRow.data());
    else
      writeRow(converted.scanLine(y), WorkFormat, 0, band.width(), destinationRow.data());
  }
  if (inPlace) return;

  // Other formats are written back through the painter, which converts.
  painter_->save();
  painter_->resetTransform();
  painter_->setClipping(false);
  painter_->setOpacity(1.0);
  painter_->setCompositionMode(QPainter::CompositionMode_Source);
  painter_->drawImage(band.topLeft(), converted);
  painter_->restore();
}

}  // namespace gfx
