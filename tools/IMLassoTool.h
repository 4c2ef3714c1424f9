#pragma once

#include "tools/IMSelectionTool.h"

// The free-hand selection: the pointer's track, kept on the canvas and on
// the pixel grid, closed back to where it started.
class IMLassoTool : public IMSelectionTool {
 public:
  using IMSelectionTool::IMSelectionTool;

  QString nameKey() const override { return QStringLiteral("Lasso Tool"); }
  QString shortcuts() const override { return QStringLiteral("l"); }
  gfx::ImagePtr logo() const override;
  QCursor defaultCursor() const override;
  // One view unit wider on every side than the base's, for the outline.
  QRectF clippingRect() const override;
  // Inside the outline, not merely its bounding rectangle.
  bool hitTestAtPosition(const QPointF& point) const override;
  void startSelectingAtPoint(const QPointF& point) override;
  void continueSelectingAtPoint(const QPointF& point) override;
  void stopSelectingAtPoint(const QPointF& point) override;
};
