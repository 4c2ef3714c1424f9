// Transformed image drawing at full precision: an exact bilinear filter over
// the image's premultiplied 8-bit pixels, laid onto a raster target by
// QPainter untransformed, so the source's pixel layout makes no difference.
#pragma once

#include <QImage>
#include <QRectF>
#include <QTransform>

#include "graphics/BilinearColumns.h"

class QPainter;

namespace gfx {

class CGImage;

class ImageResampler {
 public:
  // Draws `source` (in `image`'s pixel grid) into `destination` (in the
  // painter's current coordinates), as QPainter::drawImage would with smooth
  // transforms, and returns true. Returns false, drawing nothing, when
  // QPainter's own path is already exact (whole-pixel placement, smoothing
  // off) or when the target is not a plain raster image; callers then draw
  // through QPainter.
  static bool draw(QPainter& painter, const CGImage& image, const QRectF& destination,
                   const QRectF& source);

  // The bilinear filter alone: fills `out` (premultiplied ARGB32) with the
  // samples of `pixels` (premultiplied ARGB32) at the centres of the target
  // pixels starting at `origin`, mapped back through `targetToSource`. Samples
  // beyond `edges` (a part of `pixels`) repeat its border pixels.
  static void resample(const QImage& pixels, const QRect& edges, const QTransform& targetToSource,
                       const QPoint& origin, QImage& out);
  // One row of the same: `width` samples of target row `y` from column `left`.
  // `columns`, when given, is this draw's layout from columns(), which
  // gives the same samples faster where it holds.
  static void resampleRow(const QImage& pixels, const QRect& edges,
                          const QTransform& targetToSource, int left, int y, int width, QRgb* out,
                          const BilinearColumns* columns = nullptr);
  // Target columns [left, left + width) of a draw that only scales and
  // moves, laid out once for all its rows; empty for any other draw.
  static BilinearColumns columns(const QRect& edges, const QTransform& targetToSource, int left,
                                 int width);
  // Unsmoothed: one run of a row, each target pixel taking the image pixel
  // its centre falls in, stepped from the run's start as QPainter steps a
  // span of a transformed image drawn without smoothing (so a run that
  // starts where QPainter's span does picks the same pixels). Samples beyond
  // `edges` repeat its border pixels.
  static void nearestRow(const QImage& pixels, const QRect& edges, const QTransform& targetToSource,
                         int left, int y, int width, QRgb* out);

 private:
  static bool placesWholePixels(const QTransform& sourceToTarget, const QRectF& source);
};

}  // namespace gfx
