#pragma once

#include "tools/IMCITool.h"

// The clone stamp: Option-click sets the source, which is no edit.
class IMTamponTool : public IMCITool {
 public:
  using IMCITool::IMCITool;

  bool isUsable() override;
  bool isAnEditTool() const override { return !altPressed(); }
  bool isUsableAtLocation(const QPointF& location) override;
  QString nameKey() const override { return QStringLiteral("Tampon"); }
  QString shortcuts() const override { return QStringLiteral("s"); }
  gfx::ImagePtr logo() const override;
  QCursor defaultCursor() const override;
  QCursor altCursor() const override;
};
