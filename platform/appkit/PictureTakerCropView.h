// The picture taker's picture with its square: the outside is dimmed, a
// drag moves the square and the wheel sizes it.
#pragma once

#include <QImage>
#include <QWidget>
#include <functional>

namespace ui {

class PictureTakerCropView : public QWidget {
 public:
  explicit PictureTakerCropView(QWidget* parent = nullptr);

  void setPicture(const QImage& picture, const QRect& crop);
  // Picture pixels the user dragged the square by.
  std::function<void(const QPointF&)> dragged;
  // Wheel notches, positive to zoom in.
  std::function<void(double)> wheeled;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;

 private:
  QRectF shownRect() const;

  QImage picture_;
  QRect crop_;
  QPointF lastPoint_;
};

}  // namespace ui
