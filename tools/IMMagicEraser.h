#pragma once

#include "tools/IMTool.h"

// The background eraser: removes the colour clicked from the working
// layer, in the layer's own coordinates.
class IMMagicEraser : public IMTool {
 public:
  using IMTool::IMTool;

  bool isUsable() override;
  unsigned transformationLevel() const override { return 3; }
  bool autoScroll() const override { return true; }
  QString nameKey() const override { return QStringLiteral("BackGround Eraser"); }
  QString shortcuts() const override { return QStringLiteral("o"); }
  gfx::ImagePtr logo() const override;
  QCursor defaultCursor() const override;
};
