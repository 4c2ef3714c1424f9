#pragma once

#include "tools/IMTool.h"

// Moves the selected layers; Option lifts a copy. Its dragging comes with
// its own work; here it is the default tool, with its image and cursors.
class IMLayerDragingTool : public IMTool {
 public:
  using IMTool::IMTool;

  bool isUsable() override;
  bool autoScroll() const override { return true; }
  QString nameKey() const override { return QStringLiteral("Drag Tool"); }
  QString shortcuts() const override { return QStringLiteral("v"); }
  gfx::ImagePtr logo() const override;
  QCursor defaultCursor() const override;
  QCursor altCursor() const override;
};
