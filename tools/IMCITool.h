#pragma once

#include "tools/IMTool.h"

// The base of the tools on the brush engine (brush, eraser, clone stamp):
// they work on a visible bitmap layer, inside the workable part of the
// canvas, and make a fresh layer to paint in when the selection offers none.
class IMCITool : public IMTool {
 public:
  using IMTool::IMTool;

  // The working layer exists, is visible, is a bitmap layer and not text.
  bool CIToolIsUsable() const;
  // Inside the workable rectangle grown by the brush size.
  bool isUsableAtLocation(const QPointF& location) override;
  void willFindLocationInMouseDown() override;
  double toolSize() const;
  bool isUsingSize() const override { return true; }
};
