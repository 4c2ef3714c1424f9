#include "tools/IMToolImages.h"

#include <QHash>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <functional>

#include "graphics/CGImage.h"

namespace {

constexpr int kPoints = 20;
constexpr int kScale = 2;
const QColor kInk(40, 40, 40);

using Drawing = std::function<void(QPainter&)>;

void magnifier(QPainter& p, int sign) {
  p.drawEllipse(QRectF(2.5, 2.5, 11, 11));
  p.setPen(QPen(kInk, 3, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(12, 12), QPointF(17.5, 17.5));
  p.setPen(QPen(kInk, 1.5));
  if (sign != 0) p.drawLine(QPointF(5.5, 8), QPointF(10.5, 8));
  if (sign > 0) p.drawLine(QPointF(8, 5.5), QPointF(8, 10.5));
}

void brush(QPainter& p) {
  p.setPen(QPen(kInk, 2.2, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(17, 3), QPointF(9, 11));
  QPainterPath tip;
  tip.moveTo(9.5, 10.5);
  tip.cubicTo(6, 10, 3.5, 13, 3.5, 17);
  tip.cubicTo(7.5, 17, 10.5, 14.5, 10, 11);
  p.setPen(Qt::NoPen);
  p.setBrush(kInk);
  p.drawPath(tip);
}

void stamp(QPainter& p) {
  p.setBrush(kInk);
  p.drawEllipse(QRectF(7, 1.5, 6, 5));
  p.drawRect(QRectF(8.5, 6, 3, 5));
  p.drawRoundedRect(QRectF(3, 11, 14, 4), 1, 1);
  p.drawLine(QPointF(3, 17.5), QPointF(17, 17.5));
}

void eraser(QPainter& p, bool background) {
  p.save();
  p.translate(10, 10);
  p.rotate(-40);
  p.drawRoundedRect(QRectF(-8, -4, 16, 8), 1.5, 1.5);
  p.fillRect(QRectF(-8, -4, 6, 8), kInk);
  p.restore();
  if (background) {
    p.fillRect(QRectF(12, 14, 3, 3), kInk);
    p.fillRect(QRectF(15, 17, 3, 3), kInk);
  }
}

void gradient(QPainter& p, bool radial) {
  QGradient* fill = nullptr;
  QLinearGradient linear(3, 0, 17, 0);
  QRadialGradient round(QPointF(10, 10), 8);
  fill = radial ? static_cast<QGradient*>(&round) : static_cast<QGradient*>(&linear);
  fill->setColorAt(0, kInk);
  fill->setColorAt(1, QColor(255, 255, 255, 0));
  p.setBrush(*fill);
  if (radial)
    p.drawEllipse(QRectF(2, 2, 16, 16));
  else
    p.drawRect(QRectF(2.5, 4.5, 15, 11));
}

void pipette(QPainter& p) {
  p.setPen(QPen(kInk, 2.5, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(3, 17), QPointF(12, 8));
  p.setPen(Qt::NoPen);
  p.setBrush(kInk);
  p.drawEllipse(QRectF(11, 3, 6, 6));
}

void hand(QPainter& p) {
  p.drawRoundedRect(QRectF(5, 9, 11, 8), 3, 3);
  for (int finger = 0; finger < 4; ++finger)
    p.drawLine(QPointF(6.5 + finger * 2.7, 9), QPointF(6.5 + finger * 2.7, 3.5 + (finger % 3)));
}

const QHash<QString, Drawing>& drawings() {
  static const QHash<QString, Drawing> table = {
      {"arrowTemplate",
       [](QPainter& p) {
         p.setBrush(kInk);
         p.drawPolygon(QPolygonF(
             {{5, 2}, {5, 16}, {8.5, 12.5}, {11, 17.5}, {13, 16.5}, {10.5, 11.5}, {15, 11.5}}));
       }},
      {"brushTemplate", brush},
      {"brushTool", brush},
      {"duplicationToolTemplate", stamp},
      {"duplicationTool", stamp},
      {"eraserTemplate", [](QPainter& p) { eraser(p, false); }},
      {"backgroundEraserTemplate", [](QPainter& p) { eraser(p, true); }},
      {"gradientToolTemplate", [](QPainter& p) { gradient(p, false); }},
      {"radialGradientToolTemplate", [](QPainter& p) { gradient(p, true); }},
      {"lineToolTemplate", [](QPainter& p) { p.drawLine(QPointF(3, 17), QPointF(17, 3)); }},
      {"strokeRectToolTemplate", [](QPainter& p) { p.drawRect(QRectF(3.5, 5.5, 13, 9)); }},
      {"fillRectToolTemplate", [](QPainter& p) { p.fillRect(QRectF(3, 5, 14, 10), kInk); }},
      {"strokeOvalToolTemplate", [](QPainter& p) { p.drawEllipse(QRectF(3, 5, 14, 10)); }},
      {"fillOvalToolTemplate",
       [](QPainter& p) {
         p.setBrush(kInk);
         p.drawEllipse(QRectF(3, 5, 14, 10));
       }},
      {"textTemplate",
       [](QPainter& p) {
         p.setPen(QPen(kInk, 2.4));
         p.drawLine(QPointF(4, 4), QPointF(16, 4));
         p.drawLine(QPointF(10, 4), QPointF(10, 17));
         p.setPen(QPen(kInk, 1.5));
         p.drawLine(QPointF(7.5, 17), QPointF(12.5, 17));
       }},
      {"CIPointTool",
       [](QPainter& p) {
         p.drawEllipse(QRectF(4.5, 4.5, 11, 11));
         p.drawLine(QPointF(10, 1), QPointF(10, 7));
         p.drawLine(QPointF(10, 13), QPointF(10, 19));
         p.drawLine(QPointF(1, 10), QPointF(7, 10));
         p.drawLine(QPointF(13, 10), QPointF(19, 10));
       }},
      {"pipetteTemplate", pipette},
      {"selectionTemplate",
       [](QPainter& p) {
         p.setPen(QPen(kInk, 1.5, Qt::DashLine));
         p.drawRect(QRectF(3, 4, 14, 12));
       }},
      {"selection_lassoTemplate",
       [](QPainter& p) {
         p.setPen(QPen(kInk, 1.5, Qt::DashLine));
         p.drawEllipse(QRectF(2.5, 3, 15, 10));
         p.setPen(QPen(kInk, 1.5));
         p.drawLine(QPointF(6, 12), QPointF(5, 18));
       }},
      {"magnyfyingGlassTemplate", [](QPainter& p) { magnifier(p, 0); }},
      {"magnyfyingGlassZoomIn", [](QPainter& p) { magnifier(p, 1); }},
      {"magnyfyingGlassZoomOut", [](QPainter& p) { magnifier(p, -1); }},
      {"grabTemplate", hand},
  };
  return table;
}

gfx::ImagePtr drawImage(const Drawing& drawing) {
  QImage pixels(kPoints * kScale, kPoints * kScale, QImage::Format_ARGB32_Premultiplied);
  pixels.fill(Qt::transparent);
  QPainter painter(&pixels);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.scale(kScale, kScale);
  painter.setPen(QPen(kInk, 1.5));
  drawing(painter);
  painter.end();
  return gfx::Image::imageWithCGImage(gfx::CGImage::make(pixels), QSizeF(kPoints, kPoints));
}

}  // namespace

gfx::ImagePtr IMToolImages::imageNamed(const QString& name) {
  static QHash<QString, gfx::ImagePtr> made;
  if (auto found = made.constFind(name); found != made.constEnd()) return *found;
  const auto drawing = drawings().constFind(name);
  if (drawing == drawings().constEnd()) return nullptr;
  return made[name] = drawImage(*drawing);
}

QStringList IMToolImages::names() { return drawings().keys(); }

QImage IMToolImages::pixelsOf(const gfx::ImagePtr& image) {
  if (!image) return {};
  gfx::CGImagePtr pixels = image->CGImageForProposedRect(nullptr, nullptr);
  if (!pixels) return {};
  QImage result = pixels->qImage();
  const QSizeF size = image->size();
  if (size.width() > 0) result.setDevicePixelRatio(result.width() / size.width());
  return result;
}

QIcon IMToolImages::iconOf(const gfx::ImagePtr& image) {
  return QIcon(QPixmap::fromImage(pixelsOf(image)));
}
