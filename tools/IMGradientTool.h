#pragma once

#include "coreimage/Color.h"
#include "coreimage/Image.h"
#include "tools/IMModeTool.h"

// Fills a temporary layer, merged down at mouse-up, with a gradient from
// colour 1 to colour 2: mode 0 linear from the mouse-down point to the
// pointer, any other mode radial around the mouse-down point.
class IMGradientTool : public IMModeTool {
 public:
  explicit IMGradientTool(IMToolsController* toolsController);

  bool autoScroll() const override { return true; }
  bool isUsingColor1() const override { return true; }
  bool isUsingColor2() const override { return true; }
  bool shouldWorkOnATempLayer() const override { return true; }
  QString nameKey() const override { return QStringLiteral("Gradient Tools"); }
  QString shortcuts() const override { return QStringLiteral("g"); }

  // Nothing at mouse-down: a click alone draws once, at mouse-up.
  void mouseDraggedAtLocation(const QPointF& location) override { drawAtLocation(location); }
  void mouseUpAtLocation(const QPointF& location) override { drawAtLocation(location); }

  ci::Color gradientCIColor() const;
  double gradientRadiusWithLocation(const QPointF& location) const;
  // The endless gradient for a drag from the mouse-down point to `location`.
  ci::Image gradientImageAtLocation(const QPointF& location) const;

  void setLinearMode() { setMode(0); }
  void setRadialMode() { setMode(1); }
  static gfx::ImagePtr linearLogo();
  static gfx::ImagePtr radialLogo();

 private:
  void drawAtLocation(const QPointF& location);
};
