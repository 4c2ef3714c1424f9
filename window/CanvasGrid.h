// The canvas's background grid: the model's checkerboard, rendered once per
// spacing and colour as one period on whole document pixels and then laid
// over the rectangle as a texture, so a full view costs a tiled copy instead
// of rendering every square again at each redraw.
#pragma once

#include <QColor>
#include <QRectF>

struct CanvasGrid {
  // Draws the grid over `rect` of the current graphics context (document
  // space), squares anchored at (0, 0), source-over. `overWhite` says the
  // rectangle was just filled white: the grid, made opaque over white, is
  // then copied rather than blended.
  static void drawBackGridWithSpacing(double spacing, const QColor& color, const QRectF& rect,
                                      bool overWhite = false);
};
