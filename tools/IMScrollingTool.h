#pragma once

#include "tools/IMTool.h"

// Scrolls the canvas by hand; usable only while the canvas does not fit.
// Not in the chooser.
class IMScrollingTool : public IMTool {
 public:
  using IMTool::IMTool;

  bool isUsable() override;
  unsigned transformationLevel() const override { return 0; }
  bool isAnEditTool() const override { return false; }
  QString nameKey() const override { return QStringLiteral("Scrolling Tool"); }
  QString shortcuts() const override { return QStringLiteral("h"); }
  gfx::ImagePtr logo() const override;
  QCursor cursorWithModifierFlags(unsigned flags) const override;
};
