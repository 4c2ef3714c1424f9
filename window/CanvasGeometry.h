// The canvas's arithmetic between document, view and clip coordinates (all
// y-up), kept apart from the widgets so that every rule reads, and is
// tested, in one place. IMView and IMCenterClipView only apply it.
#pragma once

#include <QPointF>
#include <QRectF>
#include <QSizeF>

#include "graphics/AffineTransform.h"

struct CanvasGeometry {
  // Document → view: a uniform scale by zoom / backing scale factor; the
  // identity without a size delegate or for a zoom of 0.
  static gfx::AffineTransform transformation(bool hasSizeDelegate, double zoom,
                                             double backingScaleFactor);
  // The rectangle through `transform` (its inverse when `inversed`): the
  // origin as a point, the size as a vector.
  static QRectF zoomededRect(const QRectF& rect, const gfx::AffineTransform& transform,
                             bool inversed);

  // round((documentExtent − clipExtent) × 0.5), halves away from zero: the
  // negative clip origin that centres a canvas smaller than its clip.
  static double centeredOrigin(double documentExtent, double clipExtent);
  // The clip origin that centres each axis on which the clip is strictly
  // larger than the document; the other axes keep `clipBounds`' origin.
  static QPointF centerDocument(const QSizeF& documentSize, const QRectF& clipBounds);
  // A proposed clip origin made valid: centred on an axis where the clip is
  // larger than the document, else clamped into [0, document − clip] (upper
  // bound first), rounded.
  static QPointF constrainScrollPoint(const QPointF& proposed, const QSizeF& documentSize,
                                      const QSizeF& clipSize);

  // The clip origin that shows `point` × `zoom` at the clip's centre.
  static QPointF clipOriginKeepingPoint(double zoom, const QPointF& point, const QSizeF& clipSize);
  // The point at the centre of `clipBounds`, scaled back by `oldZoom` (0 counts
  // as 1): what the next zoom keeps at the centre.
  static QPointF centralPointBeforeZoom(const QRectF& clipBounds, double oldZoom);

  // Images are drawn without interpolation when the user has not asked for
  // it and one document pixel covers more than one device pixel.
  static bool disablesInterpolation(bool interpolationPreferred, double zoom,
                                    double backingScaleFactor);
};
