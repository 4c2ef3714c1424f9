#pragma once

#include "tools/IMTool.h"

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
};
