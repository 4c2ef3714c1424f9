#pragma once

#include "tools/IMTool.h"

// Places the point of a filter parameter on the canvas; usable only while
// the filter parameters panel shows a point parameter.
class IMCIPointTool : public IMTool {
 public:
  using IMTool::IMTool;

  // No filter parameters panel offers a point yet.
  bool isUsable() override { return false; }
  unsigned transformationLevel() const override { return 3; }
  bool autoScroll() const override { return true; }
  // Canvas-view coordinates of what the tool draws; it draws nothing yet.
  QRectF clippingRect() const { return {}; }
  QString nameKey() const override { return QStringLiteral("Filter Tool"); }
  QString shortcuts() const override { return QStringLiteral("n"); }
  gfx::ImagePtr logo() const override;
  QCursor defaultCursor() const override;
};
