#pragma once

#include <QColor>
#include <QWidget>

#include "graphics/BezierPath.h"

// A small view that fills or strokes a path in one colour; the path is in
// the view's own points, y up.
class IMPDFDrawingView : public QWidget {
 public:
  explicit IMPDFDrawingView(QWidget* parent = nullptr) : QWidget(parent) {}

  const gfx::BezierPath& bezierPath() const { return bezierPath_; }
  void setBezierPath(const gfx::BezierPath& path);
  QColor color() const { return color_; }
  void setColor(const QColor& color);
  bool drawingIsFilled() const { return drawingIsFilled_; }
  void setDrawingIsFilled(bool filled);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  gfx::BezierPath bezierPath_;
  QColor color_ = Qt::black;
  bool drawingIsFilled_ = false;
};
