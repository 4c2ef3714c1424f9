#include "window/CanvasGrid.h"

#include <QBrush>
#include <QImage>
#include <QMutex>
#include <QPainter>
#include <cmath>

#include "coreimage/Context.h"
#include "graphics/GraphicsContext.h"
#include "model/IMImagesUtilities.h"

namespace {

bool isWhole(double value) { return std::abs(value - std::round(value)) < 1e-9; }

// One period (two squares by two) of the model's checkerboard, `pixels`
// wide: rendered on whole document pixels, then brought to the device's
// size (averaged when smaller, pixel for pixel when larger). Null when the
// period is not a whole number of pixels. One tile is kept.
QImage periodTile(double spacing, const QColor& color, int pixels) {
  static QMutex mutex;
  static double cachedSpacing = 0;
  static QRgb cachedColor = 0;
  static QImage document, device;
  const double period = 2 * spacing;
  if (period < 1 || period > 4096 || !isWhole(period) || pixels < 1 || pixels > 8192) return {};
  QMutexLocker lock(&mutex);
  if (document.isNull() || cachedSpacing != spacing || cachedColor != color.rgba()) {
    const QRectF tile(0, 0, period, period);
    const ci::Image grid = ima_backGridWithSpacing(spacing, color, tile, QPointF(0, 0));
    const gfx::CGImagePtr made = grid.isNull() ? nullptr : ci::Context().createCGImage(grid, tile);
    if (!made) return {};
    document = made->toFormat(QImage::Format_ARGB32_Premultiplied);
    device = QImage();
    cachedSpacing = spacing;
    cachedColor = color.rgba();
  }
  if (pixels == document.width()) return document;
  if (device.width() != pixels)
    device = document.scaled(
        pixels, pixels, Qt::IgnoreAspectRatio,
        pixels < document.width() ? Qt::SmoothTransformation : Qt::FastTransformation);
  return device;
}

// The tile laid over white: opaque, so it can replace what lies below.
QImage overWhiteTile(const QImage& tile) {
  QImage opaque(tile.size(), QImage::Format_ARGB32_Premultiplied);
  opaque.fill(Qt::white);
  QPainter(&opaque).drawImage(0, 0, tile);
  return opaque;
}

// An opaque tile on whole device pixels copied straight into a bitmap, its
// rows in parallel, placed as the painter's tiled brush would place it.
bool copiedOntoBitmap(gfx::GraphicsContext* context, const QImage& tile, const QRectF& rect) {
  const QTransform toDevice = context->deviceTransform();
  const QPointF origin = toDevice.map(QPointF(0, 0));
  const double x = std::fmod(origin.x(), tile.width());
  const double y = std::fmod(origin.y() - tile.height(), tile.height());
  if (!isWhole(x) || !isWhole(y)) return false;
  return context->copyTileIntoDeviceRect(tile, QPoint(int(std::round(x)), int(std::round(y))),
                                         toDevice.mapRect(rect));
}

}  // namespace

// When one period covers a whole number of device pixels (every zoom the
// window offers), the tile is made at the device's size and laid without a
// transform: a plain tiled copy. Otherwise the painter scales the document
// tile as it lays it.
void CanvasGrid::drawBackGridWithSpacing(double spacing, const QColor& color, const QRectF& rect,
                                         bool overWhite) {
  gfx::GraphicsContext* context = gfx::GraphicsContext::current();
  if (!context || rect.isEmpty()) return;
  const QSizeF scale = context->deviceScale();
  const double devicePeriod = 2 * spacing * scale.width();
  const bool onDevicePixels = scale.width() == scale.height() && isWhole(devicePeriod) &&
                              (scale.width() <= 1 || !context->imageInterpolation());
  const int tilePixels = int(std::round(onDevicePixels ? devicePeriod : 2 * spacing));
  QImage tile = periodTile(spacing, color, tilePixels);
  const bool opaque = overWhite && context->alpha() == 1;
  if (!tile.isNull() && opaque) tile = overWhiteTile(tile);
  // Copied onto the bitmap, the tile joins the image draws the context holds
  // back, the fill before it and the layers after it, in one batch; asking
  // for the painter first would make those before it run on their own.
  if (!tile.isNull() && onDevicePixels && opaque && copiedOntoBitmap(context, tile, rect)) return;
  QPainter* painter = context->painter();
  if (tile.isNull() || !painter) {
    IMImagesUtilities::drawBackGridWithSpacing(spacing, color, rect, QPointF(0, 0));
    return;
  }
  painter->save();
  context->applyStateToPainter();
  if (opaque) painter->setCompositionMode(QPainter::CompositionMode_Source);
  QBrush brush(tile);
  if (onDevicePixels) {
    // Device space runs downwards: the tile's top row lies one period above
    // the document's origin.
    const QTransform toDevice = context->deviceTransform();
    const QPointF origin = toDevice.map(QPointF(0, 0));
    painter->setTransform(QTransform());
    brush.setTransform(QTransform::fromTranslate(std::fmod(origin.x(), tilePixels),
                                                 std::fmod(origin.y() - tilePixels, tilePixels)));
    painter->fillRect(toDevice.mapRect(rect), brush);
  } else {
    // The tile's rows run downwards; the user space runs upwards.
    brush.setTransform(QTransform(1, 0, 0, -1, 0, tile.height()));
    painter->fillRect(rect, brush);
  }
  painter->restore();
}
