#pragma once

#include <QPointF>
#include <QRectF>

#include "graphics/BezierPath.h"

// Rectangle and outline arithmetic of the selection tools, in document
// coordinates (y up), with the platform's conventions: empty rectangles
// take no part in unions, and an intersection keeps a rectangle that has
// no width but a height (which counts as a selection).
class IMSelectionGeometry {
 public:
  IMSelectionGeometry() = delete;

  // The zero rectangle when the two do not overlap.
  static QRectF intersectionRect(const QRectF& a, const QRectF& b);
  // An empty operand (no width or no height) is left out.
  static QRectF unionRect(const QRectF& a, const QRectF& b);
  // Half-open: the minimum edges are inside, the maximum edges outside.
  static bool pointInRect(const QPointF& point, const QRectF& rect);
  // `rect` moved, not resized, to lie inside `bounds` (left then right
  // edge, bottom then top edge).
  static QRectF clampedInside(QRectF rect, const QRectF& bounds);
  // The part of the area `path` encloses (non-zero winding) inside `rect`.
  static gfx::BezierPath pathCutToRect(const gfx::BezierPath& path, const QRectF& rect);
};

// Extends `path` from its current point to `point` along the pixel grid:
// only horizontal and vertical steps between whole coordinates, so a lasso
// outline follows pixel edges.
void lineFollowingPixelsToPoint(gfx::BezierPath& path, const QPointF& point);
