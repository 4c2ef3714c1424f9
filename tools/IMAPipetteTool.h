#pragma once

#include "tools/IMTool.h"

// The colour picker: takes colour 1 (or 2) from the canvas.
class IMAPipetteTool : public IMTool {
 public:
  using IMTool::IMTool;

  bool isAnEditTool() const override { return false; }
  bool isUsingColor1() const override { return true; }
  bool isUsingColor2() const override { return true; }
  QString nameKey() const override { return QStringLiteral("Color Picker"); }
  QString shortcuts() const override { return QStringLiteral("h"); }
  gfx::ImagePtr logo() const override;
  QCursor defaultCursor() const override;
};
