#pragma once

#include "tools/IMTool.h"

// Makes or chooses a text layer where the user clicks.
class IMTextTool : public IMTool {
 public:
  using IMTool::IMTool;

  bool isUsingColor1() const override { return true; }
  QString nameKey() const override { return QStringLiteral("Text Tool"); }
  QString shortcuts() const override { return QStringLiteral("t"); }
  gfx::ImagePtr logo() const override;
  QCursor defaultCursor() const override;

  // A new text layer becomes the working layer before the click is placed.
  void willFindLocationInMouseDown() override;
  // The text's baseline goes to the click; the drag tool takes over and the
  // text opens for typing.
  void mouseUpAtLocation(const QPointF& location) override;
};
