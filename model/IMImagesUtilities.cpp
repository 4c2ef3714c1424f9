#include "model/IMImagesUtilities.h"

#include <cmath>
#include <limits>

#include "coreimage/Context.h"

namespace {

// Values beyond the 64-bit range (and NaN) would make the conversion
// undefined; they saturate instead (NaN gives 0).
qint64 toInteger(double value) {
  if (std::isnan(value)) return 0;
  constexpr double limit = 9.2233720368547748e18;  // 2^63, the first double past qint64
  if (value >= limit) return std::numeric_limits<qint64>::max();
  if (value <= -limit) return std::numeric_limits<qint64>::min();
  return qint64(value);
}

}  // namespace

qint64 IMImagesUtilities::roundFloat(double value) { return toInteger(std::round(value)); }

qint64 IMImagesUtilities::centeredFloor(double value) { return toInteger(std::trunc(value)); }

qint64 IMImagesUtilities::centeredCeil(double value) {
  const double magnitude = std::ceil(std::fabs(value));
  return toInteger(value < 0 ? -magnitude : magnitude);
}

QRectF IMImagesUtilities::roundRect(const QRectF& rect) {
  return QRectF(double(roundFloat(rect.x())), double(roundFloat(rect.y())),
                double(roundFloat(rect.width())), double(roundFloat(rect.height())));
}

QSizeF IMImagesUtilities::roundSize(const QSizeF& size) {
  return QSizeF(double(roundFloat(size.width())), double(roundFloat(size.height())));
}

QPointF IMImagesUtilities::roundPoint(const QPointF& point) {
  return QPointF(double(roundFloat(point.x())), double(roundFloat(point.y())));
}

QSizeF IMImagesUtilities::floorSize(const QSizeF& size) {
  return QSizeF(double(centeredFloor(size.width())), double(centeredFloor(size.height())));
}

QPointF IMImagesUtilities::floorPoint(const QPointF& point) {
  return QPointF(double(centeredFloor(point.x())), double(centeredFloor(point.y())));
}

QSizeF IMImagesUtilities::ceilSize(const QSizeF& size) {
  return QSizeF(double(centeredCeil(size.width())), double(centeredCeil(size.height())));
}

QPointF IMImagesUtilities::ceilPoint(const QPointF& point) {
  return QPointF(double(centeredCeil(point.x())), double(centeredCeil(point.y())));
}

QRectF IMImagesUtilities::rectFromPoint(const QPointF& a, const QPointF& b) {
  return QRectF(std::min(a.x(), b.x()), std::min(a.y(), b.y()), std::fabs(a.x() - b.x()),
                std::fabs(a.y() - b.y()));
}

QRectF IMImagesUtilities::pixelsRectFromPixelsOrigin(const QPointF& a, const QPointF& b) {
  const QPointF p = floorPoint(a);
  const QPointF q = floorPoint(b);
  return QRectF(std::min(p.x(), q.x()), std::min(p.y(), q.y()), std::fabs(p.x() - q.x()) + 1,
                std::fabs(p.y() - q.y()) + 1);
}

QPointF IMImagesUtilities::findOriginWithCenter(const QPointF& center, const QSizeF& size) {
  return QPointF(std::floor(center.x() - size.width() / 2),
                 std::floor(center.y() - size.height() / 2));
}

QSizeF IMImagesUtilities::sizeWithImageSize(const QSizeF& imageSize, const QSizeF& maxSize) {
  const double w = imageSize.width(), h = imageSize.height();
  const double maxW = maxSize.width(), maxH = maxSize.height();
  if (maxW <= 0 || maxH <= 0) return imageSize;
  const double xRatio = w / maxW, yRatio = h / maxH;
  if (!(xRatio > 1 || yRatio > 1)) return imageSize;
  if (xRatio > yRatio) return QSizeF(maxW, h / xRatio);
  return QSizeF(w / yRatio, maxH);
}

QVariantMap IMImagesUtilities::metadata(const QVariantMap& metadata, const QString& withoutKey) {
  QVariantMap result = metadata;
  result.remove(withoutKey);
  for (auto it = result.begin(); it != result.end(); ++it) {
    if (it.value().typeId() != QMetaType::QVariantMap) continue;
    QVariantMap nested = it.value().toMap();
    nested.remove(withoutKey);
    it.value() = nested;
  }
  return result;
}

void IMImagesUtilities::drawBackGridWithSpacing(double spacing, const QColor& color,
                                                const QRectF& rect, const QPointF& gridOrigin) {
  const ci::Image grid = ima_backGridWithSpacing(spacing, color, rect, gridOrigin);
  if (grid.isNull() || rect.isEmpty()) return;
  // Drawn at the rectangle's origin from the same rectangle: the squares
  // stay anchored at (0, 0) whatever part is shown.
  ci::Context().drawImage(grid, rect, rect);
}
