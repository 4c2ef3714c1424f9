#pragma once

#include "tools/IMPencilTool.h"

// The eraser: the brush's dabs take alpha away. It needs a layer with
// something on it.
class IMCIEraserTool : public IMPencilTool {
 public:
  using IMPencilTool::IMPencilTool;

  bool isUsable() override;
  bool isUsingColor1() const override { return false; }
  ci::Color color() const override { return ci::Color(1, 1, 1, 1); }
  // White dabs baked with destination-out take alpha away in proportion.
  quint64 compositingOperation() const override { return 8; }
  QString nameKey() const override { return QStringLiteral("Eraser Tool"); }
  QString shortcuts() const override { return QStringLiteral("e"); }
  gfx::ImagePtr logo() const override;
  QCursor defaultCursor() const override;
};
