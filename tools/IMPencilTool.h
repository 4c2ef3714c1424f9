#pragma once

#include "tools/IMCITool.h"

// The brush: soft dabs of colour 1 on the brush engine.
class IMPencilTool : public IMCITool {
 public:
  using IMCITool::IMCITool;

  bool isUsingColor1() const override { return true; }
  QString nameKey() const override { return QStringLiteral("Brush Tool"); }
  QString shortcuts() const override { return QStringLiteral("b"); }
  gfx::ImagePtr logo() const override;
  QCursor defaultCursor() const override;
};
