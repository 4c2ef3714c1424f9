#pragma once

#include "tools/IMModeTool.h"

// Fills a temporary layer, merged down at mouse-up, with a gradient from
// colour 1 to colour 2: mode 0 linear, mode 1 radial.
class IMGradientTool : public IMModeTool {
 public:
  explicit IMGradientTool(IMToolsController* toolsController);

  bool autoScroll() const override { return true; }
  bool isUsingColor1() const override { return true; }
  bool isUsingColor2() const override { return true; }
  bool shouldWorkOnATempLayer() const override { return true; }
  QString nameKey() const override { return QStringLiteral("Gradient Tools"); }
  QString shortcuts() const override { return QStringLiteral("g"); }
};
