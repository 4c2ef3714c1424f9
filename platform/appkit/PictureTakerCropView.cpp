#include "appkit/PictureTakerCropView.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QWheelEvent>

namespace ui {

PictureTakerCropView::PictureTakerCropView(QWidget* parent) : QWidget(parent) {
  setMinimumSize(320, 320);
  setCursor(Qt::OpenHandCursor);
}

void PictureTakerCropView::setPicture(const QImage& picture, const QRect& crop) {
  picture_ = picture;
  crop_ = crop;
  update();
}

// The picture scaled to fit the view, centred.
QRectF PictureTakerCropView::shownRect() const {
  if (picture_.isNull()) return {};
  const QSizeF shown = QSizeF(picture_.size()).scaled(QSizeF(size()), Qt::KeepAspectRatio);
  return QRectF(QPointF((width() - shown.width()) / 2, (height() - shown.height()) / 2), shown);
}

void PictureTakerCropView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), QColor(60, 60, 60));
  if (picture_.isNull()) {
    painter.setPen(Qt::white);
    painter.drawText(rect(), Qt::AlignCenter, tr("Choose a picture"));
    return;
  }
  const QRectF shown = shownRect();
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  painter.drawImage(shown, picture_);
  const double scale = shown.width() / picture_.width();
  const QRectF square(shown.topLeft() + QPointF(crop_.topLeft()) * scale,
                      QSizeF(crop_.size()) * scale);
  QPainterPath outside;
  outside.addRect(shown);
  outside.addRect(square);
  painter.fillPath(outside, QColor(0, 0, 0, 140));
  painter.setPen(QPen(Qt::white, 2));
  painter.drawRect(square);
}

void PictureTakerCropView::mousePressEvent(QMouseEvent* event) { lastPoint_ = event->position(); }

void PictureTakerCropView::mouseMoveEvent(QMouseEvent* event) {
  const QRectF shown = shownRect();
  if (shown.isEmpty() || !dragged) return;
  const double scale = picture_.width() / shown.width();
  const QPointF delta = (event->position() - lastPoint_) * scale;
  lastPoint_ = event->position();
  dragged(delta);
}

void PictureTakerCropView::wheelEvent(QWheelEvent* event) {
  if (wheeled) wheeled(event->angleDelta().y() / 120.0);
}

}  // namespace ui
