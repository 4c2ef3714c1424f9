#include "window/IMTemplateImages.h"

#include <QPainter>
#include <QPixmap>

#include "graphics/CGImage.h"

namespace {

constexpr int kPoints = 24;
constexpr int kScale = 2;

void drawLayers(QPainter& painter, const QColor& ink) {
  QPolygonF top({{12, 3}, {21, 8}, {12, 13}, {3, 8}});
  painter.setBrush(ink);
  painter.drawPolygon(top);
  painter.setBrush(Qt::NoBrush);
  painter.drawPolyline(QPolygonF({{3, 12}, {12, 17}, {21, 12}}));
  painter.drawPolyline(QPolygonF({{3, 16}, {12, 21}, {21, 16}}));
}

// A capital A over a baseline: the font panel.
void drawFont(QPainter& painter) {
  painter.drawPolyline(QPolygonF({{5, 19}, {12, 4}, {19, 19}}));
  painter.drawLine(QPointF(8, 13), QPointF(16, 13));
}

// A screen on a stand: showing a picture to others.
void drawTheater(QPainter& painter) {
  painter.drawRoundedRect(QRectF(3, 4, 18, 12), 1.5, 1.5);
  painter.drawLine(QPointF(12, 16), QPointF(12, 20));
  painter.drawLine(QPointF(7, 20), QPointF(17, 20));
}

}  // namespace

QPixmap IMTemplateImages::drawnIcon(const QString& name) {
  QPixmap pixmap(kPoints * kScale, kPoints * kScale);
  pixmap.setDevicePixelRatio(kScale);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  const QColor ink(51, 51, 51);
  painter.setPen(QPen(ink, 2));
  if (name == "add" || name == "remove") {
    painter.drawLine(QPointF(5, 12), QPointF(19, 12));
    if (name == "add") painter.drawLine(QPointF(12, 5), QPointF(12, 19));
  } else if (name == "merge") {
    painter.setPen(QPen(ink, 1.5));
    painter.drawRect(QRectF(3, 4, 7, 6));
    painter.drawRect(QRectF(14, 4, 7, 6));
    painter.drawLine(QPointF(12, 11), QPointF(12, 14));
    painter.fillRect(QRectF(4, 15, 16, 5), ink);
  } else if (name == "font") {
    drawFont(painter);
  } else if (name == "theater") {
    drawTheater(painter);
  } else {
    drawLayers(painter, ink);
  }
  return pixmap;
}

QIcon IMTemplateImages::themeIcon(const QString& themeName, const QString& drawn) {
  return QIcon::fromTheme(themeName, QIcon(drawnIcon(drawn)));
}

gfx::ImagePtr IMTemplateImages::themeImage(const QString& themeName, const QString& drawn) {
  QImage pixels = themeIcon(themeName, drawn)
                      .pixmap(QSize(kPoints, kPoints), qreal(kScale))
                      .toImage()
                      .convertToFormat(QImage::Format_ARGB32_Premultiplied);
  pixels.setDevicePixelRatio(1);
  return gfx::Image::imageWithCGImage(gfx::CGImage::make(pixels), QSizeF(kPoints, kPoints));
}
