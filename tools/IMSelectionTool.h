#pragma once

#include <QRectF>

#include "coreimage/Image.h"
#include "tools/IMTool.h"

// The base of the two selection tools: the selected rectangle (document
// coordinates, within the canvas) and the one before the last change, the
// arrow-key moves and the redraw of the selection's area. Selecting with
// the mouse belongs to the two tools.
class IMSelectionTool : public IMTool {
 public:
  using IMTool::IMTool;

  QRectF selectedRect() const { return selectedRect_; }
  QRectF oldSelectedRect() const { return oldSelectedRect_; }
  // Kept within the canvas; the tools controller's observers of
  // "selectedRect" hear of a change.
  virtual void setSelectedRect(const QRectF& rect);
  void saveSelectedRect() { oldSelectedRect_ = selectedRect_; }
  // A rectangle with a width or a height counts as a selection.
  bool hasSelection() const { return !selectedRect_.size().isNull(); }
  virtual bool hitTestAtPosition(const QPointF& point) const;
  virtual void selectionChanged();
  // The coverage of the selection over its rectangle drawn at `size`
  // pixels; null for a rectangle, whose coverage is the whole of it.
  virtual ci::Image selectionMaskWithSize(const QSize& size) const;
  // Canvas-view coordinates covering the old and the new outline.
  virtual QRectF clippingRect() const;
  void moveDeltaX(double dx, double dy);
  void moveUp() { moveDeltaX(0, 1); }
  void moveDown() { moveDeltaX(0, -1); }
  void moveLeft() { moveDeltaX(-1, 0); }
  void moveRight() { moveDeltaX(1, 0); }

  unsigned transformationLevel() const override { return 2; }
  bool autoScroll() const override { return true; }
  bool isAnEditTool() const override { return false; }
  bool isUsingColor1() const override { return true; }
  QCursor defaultCursor() const override;

 private:
  QRectF selectedRect_;
  QRectF oldSelectedRect_;
};
