// The canvas's clip view: centres a canvas smaller than the visible area,
// clamps scrolling otherwise, and draws a drop shadow under the canvas.
#pragma once

#include "appkit/ClipView.h"

class IMCenterClipView : public ui::ClipView {
  Q_OBJECT

 public:
  explicit IMCenterClipView(const QRectF& frame = {}, QWidget* parent = nullptr);

  // The shadow shows only when this is set (once the window is set up).
  bool isReadyForShadow() const { return isReadyForShadow_; }
  void setIsReadyForShadow(bool ready);

  void centerDocument();
  QPointF constrainScrollPoint(const QPointF& proposed) const override;

  void viewBoundsChanged() override;
  void viewFrameChanged() override;
  void setFrame(const QRectF& frame) override;
  void setFrameOrigin(const QPointF& origin) override;
  void setFrameSize(const QSizeF& size) override;
  void drawRect(const QRectF& dirtyRect) override;

 private:
  bool isReadyForShadow_ = false;
};
