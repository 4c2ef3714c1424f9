#pragma once

#include <QList>
#include <QRectF>

#include "coreimage/Image.h"
#include "graphics/BezierPath.h"
#include "tools/IMTool.h"

// The base of the two selection tools. A selection is a bounding rectangle
// (document coordinates, always within the canvas; a zero size is none) and
// an outline path; its mask (white inside the outline, black outside, over
// the rectangle's size at (0, 0)) confines fills, copies, strokes and
// filters to it. Mouse gestures select a new area, move the selection, or
// (in the rectangle tool) resize it; the outline shows as marching ants.
class IMSelectionTool : public IMTool {
 public:
  // Gestures in progress.
  enum TrackingMode : quint64 { None = 0, Selecting = 1, Moving = 2, Resizing = 3 };

  using IMTool::IMTool;

  // ---- The selection ----
  QRectF selectedRect() const { return selectedRect_; }
  QRectF oldSelectedRect() const { return oldSelectedRect_; }
  QRectF mouseDownSelectedRect() const { return mouseDownSelectedRect_; }
  // Cut to the canvas; the tools controller's observers of "selectedRect"
  // hear of a change, and the selection's area is redrawn in every case.
  virtual void setSelectedRect(const QRectF& rect);
  void saveSelectedRect() { oldSelectedRect_ = selectedRect_; }
  // A rectangle with a width or a height counts as a selection.
  bool hasSelection() const { return !selectedRect_.size().isNull(); }
  bool isMoving() const { return trackingMode_ == Moving; }
  quint64 trackingMode() const { return trackingMode_; }
  const gfx::BezierPath& selectedPath() const { return selectedPath_; }
  void setSelectedPath(const gfx::BezierPath& path) { selectedPath_ = path; }
  virtual bool hitTestAtPosition(const QPointF& point) const;
  virtual void selectionChanged();
  // Canvas-view coordinates covering the old and the new outline.
  virtual QRectF clippingRect() const;
  // Canvas-view rectangles that together cover the outline's strokes and
  // little else: what one step of the marching ants redraws.
  virtual QList<QRectF> outlineBandRects() const;

  // ---- Gestures ----
  virtual void startSelectingAtPoint(const QPointF& point);
  virtual void continueSelectingAtPoint(const QPointF& point);
  virtual void stopSelectingAtPoint(const QPointF& point);
  void startMovingAtPoint(const QPointF& point);
  void continueMovingAtPoint(const QPointF& point);
  void stopMovingAtPoint(const QPointF& point);
  virtual void startResizingAtPoint(const QPointF& point, const QPointF& floatLocation);
  virtual void continueResizingAtPoint(const QPointF&) {}
  void stopResizingAtPoint(const QPointF& point);
  virtual bool shouldResizeWithPoint(const QPointF&) const { return false; }

  // ---- Arrow keys: one document unit, y up ----
  void moveDeltaX(double dx, double dy);
  void moveUp() { moveDeltaX(0, 1); }
  void moveDown() { moveDeltaX(0, -1); }
  void moveLeft() { moveDeltaX(-1, 0); }
  void moveRight() { moveDeltaX(1, 0); }

  // ---- The mask ----
  // Rebuilt from the outline when there is a selection; kept otherwise.
  void loadSelectionMask();
  ci::Image selectionMaskNotTransformed() const { return mask_; }
  // White inside the selection and black elsewhere over (0, 0, size), in
  // document coordinates.
  ci::Image selectionMaskWithSize(const QSize& size) const;
  // Transparent outside the selection.
  ci::Image applyMaskToImage(const ci::Image& image) const;
  // `image` masked by `contentMask` inside the selection and whole outside
  // it; both in the working layer's coordinates.
  ci::Image applyMaskOnlyOnSelectedContent(const ci::Image& contentMask,
                                           const ci::Image& image) const;

  // ---- Drawing, in canvas-view coordinates ----
  void draw() override;

  // ---- Mouse ----
  void mouseDownAtLocation(const QPointF& location) override;
  void mouseDraggedAtLocation(const QPointF& location) override;
  void mouseUpAtLocation(const QPointF& location) override;
  // A double click removes the selection of either selection tool.
  void mouseUp(const ui::Event& event) override;
  // Whole document units for every selection computation.
  QPointF mouseDownLocation() const override;
  QPointF lastLocation() const override;

  unsigned transformationLevel() const override { return 2; }
  bool autoScroll() const override { return true; }
  bool isAnEditTool() const override { return false; }
  bool isUsingColor1() const override { return true; }
  QCursor defaultCursor() const override;

 protected:
  void setTrackingMode(quint64 mode) { trackingMode_ = mode; }
  // Extended in place while a lasso grows, rather than copied per point.
  gfx::BezierPath& mutableSelectedPath() { return selectedPath_; }
  // The mask of the current outline over the selected rectangle's size.
  virtual ci::Image maskForSelection() const;
  // The current outline in canvas-view coordinates.
  gfx::BezierPath outlineInView() const;

 private:
  QRectF selectedRect_;
  QRectF oldSelectedRect_;
  QRectF mouseDownSelectedRect_;
  quint64 trackingMode_ = None;
  gfx::BezierPath selectedPath_;
  ci::Image mask_;
  // The cursor rectangles were last laid out for this selection.
  QRectF cursorRectsSelection_;
};
