#pragma once

#include <QRectF>

// Draws the document for a canvas view.
class IMViewDrawingDelegate {
 public:
  virtual ~IMViewDrawingDelegate() = default;
  // Draws the document part `rect` into the current graphics context, which
  // is already in document space (in clean mode: the view's own space, equal
  // to the document's). `disableInterpolation` asks for images drawn
  // without interpolation.
  virtual void viewDrawingRect(const QRectF& rect, bool forceCleanDrawing,
                               bool disableInterpolation) = 0;
  // Overlays (selection outlines, handles) in view coordinates over the
  // view's dirty rectangle; never asked in clean mode.
  virtual void notTransformedViewDrawingInRect(const QRectF& dirtyRect) { (void)dirtyRect; }
};
