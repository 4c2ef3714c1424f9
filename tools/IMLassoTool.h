#pragma once

#include "tools/IMSelectionTool.h"

// The free-hand selection.
class IMLassoTool : public IMSelectionTool {
 public:
  using IMSelectionTool::IMSelectionTool;

  QString nameKey() const override { return QStringLiteral("Lasso Tool"); }
  QString shortcuts() const override { return QStringLiteral("l"); }
  gfx::ImagePtr logo() const override;
  // One view unit wider on every side than the base's, for the outline.
  QRectF clippingRect() const override;
};
