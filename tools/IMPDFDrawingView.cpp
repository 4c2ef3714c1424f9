#include "tools/IMPDFDrawingView.h"

#include <QPainter>

void IMPDFDrawingView::setBezierPath(const gfx::BezierPath& path) {
  bezierPath_ = path;
  update();
}

void IMPDFDrawingView::setColor(const QColor& color) {
  color_ = color;
  update();
}

void IMPDFDrawingView::setDrawingIsFilled(bool filled) {
  drawingIsFilled_ = filled;
  update();
}

void IMPDFDrawingView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  // The path's y grows upwards.
  painter.translate(0, height());
  painter.scale(1, -1);
  if (drawingIsFilled_)
    painter.fillPath(bezierPath_.toQPainterPath(), color_);
  else
    painter.strokePath(bezierPath_.toQPainterPath(), bezierPath_.pen(color_));
}
