#pragma once

#include <QRectF>

#include "graphics/BezierPath.h"
#include "tools/IMModeTool.h"

// Draws one shape per drag into a temporary layer merged down at mouse-up:
// modes 0 line, 1 stroked rectangle, 2 filled rectangle, 3 stroked oval,
// 4 filled oval. Shapes sit on whole pixels; lines run from the outer
// corner of the start pixel to that of the end pixel.
class IMBezierPathTool : public IMModeTool {
 public:
  explicit IMBezierPathTool(IMToolsController* toolsController);

  bool autoScroll() const override { return true; }
  bool isUsingSize() const override { return true; }
  bool isUsingRoundedRect() const override { return true; }
  bool isUsingColor1() const override { return true; }
  bool shouldWorkOnATempLayer() const override { return true; }
  QString nameKey() const override { return QStringLiteral("Shape Tool"); }
  QString shortcuts() const override { return QStringLiteral("u"); }
  QCursor defaultCursor() const override;

  // Every event redraws the whole shape from the mouse-down point to the
  // last event's point.
  void mouseDownAtLocation(const QPointF&) override { updateLayer(); }
  void mouseDraggedAtLocation(const QPointF&) override { updateLayer(); }
  void mouseUpAtLocation(const QPointF&) override { updateLayer(); }
  void updateLayer() override;

  // The path in the local space of the image to draw; sets selectedRect
  // and drawToPoint.
  gfx::BezierPath bezierPathWithCurrentMode();
  bool shouldAntialias() const;
  QPointF flooredMouseDownLocation() const;
  QRectF selectedRect() const { return selectedRect_; }
  QPointF drawToPoint() const { return drawToPoint_; }

  qint64 lineWidth() const;
  qint64 insetValue() const;
  bool fill() const { return mode() == 2 || mode() == 4; }
  double roundedRectRadius() const;

  void setLineMode() { setMode(0); }
  void setStrokeRectMode() { setMode(1); }
  void setFillRectMode() { setMode(2); }
  void setStrokeOvalMode() { setMode(3); }
  void setFillOvalMode() { setMode(4); }

  static gfx::ImagePtr lineLogo();
  static gfx::ImagePtr strokeRectLogo();
  static gfx::ImagePtr fillRectLogo();
  static gfx::ImagePtr strokeOvalLogo();
  static gfx::ImagePtr fillOvalLogo();

 private:
  gfx::BezierPath linePath(const QPointF& m, const QPointF& e, const QRectF& r, qint64 i) const;

  QRectF selectedRect_;
  QPointF drawToPoint_;
};
