#pragma once

#include <QList>
#include <functional>

#include "tools/IMSelectionTool.h"

class Layer;

// The rectangle selection, with eight knobs to resize it; it also crops
// the canvas or chosen layers to the rectangle, and selects all.
// Knobs, numbered in hit-test order: 1 top left, 2 top middle, 3 top
// right, 4 middle left, 5 middle right, 6 bottom left, 7 bottom middle,
// 8 bottom right (top is the larger y).
class IMCropMarkerTool : public IMSelectionTool {
 public:
  using IMSelectionTool::IMSelectionTool;

  QString nameKey() const override { return QStringLiteral("Selection Tool"); }
  QString shortcuts() const override { return QStringLiteral("m"); }
  gfx::ImagePtr logo() const override;
  // The crosshair between gestures; during one the closed hand while
  // moving, else the arrow.
  QCursor defaultCursor() const override;

  // ---- The rectangle ----
  // Observers of the tools controller's "rectSelectedRect" hear of every call.
  void setSelectedRect(const QRectF& rect) override;
  void selectionChanged() override;
  // The base's, grown to take in the knobs.
  QRectF clippingRect() const override;

  // ---- Knobs ----
  // Bit (1 << k) for each knob k that exists: all eight.
  quint64 knobMask() const { return 0x1FE; }
  // The knob whose square holds the document point, 1 to 8, else 0; the
  // lower number wins where squares overlap.
  qint64 knobUnderPoint(const QPointF& point) const;
  qint64 resizingKnob() const { return resizingKnob_; }
  // Half a knob's side, in canvas-view units.
  double halfHandleWidth() const;
  // The knob's square around a canvas-view point.
  QRectF handleRectForPoint(const QPointF& point) const;
  void drawHandleAtPoint(const QPointF& point) const;
  void addCursorRectForHandleAtPoint(const QPointF& point) const;
  // Once per knob in knob order, with its point in canvas-view coordinates.
  void performBlockOnHandles(const std::function<void(const QPointF&)>& block) const;
  bool shouldResizeWithPoint(const QPointF& point) const override;
  void startResizingAtPoint(const QPointF& point, const QPointF& floatLocation) override;
  void continueResizingAtPoint(const QPointF& point) override { resizeWithHitAtPoint(point); }
  void resizeWithHitAtPoint(const QPointF& point);
  // The outline, then the knobs while this tool is current and idle.
  void draw() override;

  // ---- Commands ----
  // The whole canvas; any lasso selection goes.
  void selectAll();
  // The canvas becomes the rectangle: layers move, no pixel is lost.
  void nonDestructiveCropLayers(const QList<Layer*>& layers);
  // Each layer keeps only its pixels inside the rectangle (the whole canvas
  // without a selection), with its placement, opacity and filters baked in;
  // a text layer becomes a bitmap layer in its place.
  void destructiveCropLayers(const QList<Layer*>& layers);

 protected:
  // A whole-unit rectangle is covered whole: no pixels need drawing.
  ci::Image maskForSelection() const override;

 private:
  QPointF knobPoint(qint64 knob, const QRectF& rect) const;

  qint64 resizingKnob_ = 0;
};
