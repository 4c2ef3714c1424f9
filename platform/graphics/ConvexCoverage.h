// How much of each device pixel a convex polygon covers (an image's outline
// under any affine transform), row by row: exact areas where antialiased,
// pixel centres inside otherwise. Drawing composites through it instead of
// rasterising a mask.
#pragma once

#include <QPolygonF>
#include <QRectF>
#include <cstdint>

namespace gfx {

class ConvexCoverage {
 public:
  ConvexCoverage(const QPolygonF& convexPolygon, bool antialiased);

  // The part of a convex polygon inside `rect`: convex again, so a
  // rectangular clip with edges between pixels folds into the coverage.
  static QPolygonF clippedToRect(const QPolygonF& convexPolygon, const QRectF& rect);

  // Fills coverage[0 … width) (0…255) for device row `y` from column `left`.
  // Returns the columns [*first, *last) with any coverage, relative to
  // `left`, and whether every one of them is fully covered (then callers
  // may composite without the coverage).
  bool row(int y, int left, int width, uint8_t* coverage, int* first, int* last) const;

 private:
  // The span [*low, *high) of x where the horizontal line at `y` is inside.
  bool lineSpan(double y, double* low, double* high) const;
  void antialiasedRow(int y, int left, int width, uint8_t* coverage, int* first, int* last,
                      bool* full) const;
  void aliasedRow(int y, int left, int width, uint8_t* coverage, int* first, int* last) const;

  QPolygonF polygon_;  // closed, counter-clockwise or clockwise
  bool antialiased_;
};

}  // namespace gfx
