#pragma once

#include "tools/IMTool.h"

class IMView;

// Zooms in on a click, out with Option; it works in canvas-view coordinates.
class IMMagnifyingGlassTool : public IMTool {
 public:
  using IMTool::IMTool;

  unsigned transformationLevel() const override { return 1; }
  bool isAnEditTool() const override { return false; }
  QString nameKey() const override { return QStringLiteral("Zoom Tool"); }
  QString shortcuts() const override { return QStringLiteral("z"); }
  gfx::ImagePtr logo() const override;
  QCursor defaultCursor() const override;
  QCursor altCursor() const override;

  // -1 (zoom out) while Option is held, else +1.
  int coef() const { return altPressed() ? -1 : 1; }
  // Zooms by two to the power coef, keeping `location` (canvas view) fixed.
  void mouseUpAtLocation(const QPointF& location) override;
  // The zoom point that keeps `location` (canvas view) under the pointer.
  static QPointF zoomPointKeeping(const QPointF& location, IMView* view, double zoom,
                                  double newZoom);
};
