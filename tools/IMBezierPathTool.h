#pragma once

#include "tools/IMModeTool.h"

// Draws one shape per drag into a temporary layer merged down at mouse-up:
// modes 0 line, 1 stroked rectangle, 2 filled rectangle, 3 stroked oval,
// 4 filled oval.
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
};
