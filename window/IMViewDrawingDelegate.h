#pragma once

#include <QRectF>

// Draws the document for a canvas view.
class IMViewDrawingDelegate {
 public:
  // Which of the document's layers a draw takes while a stroke paints one.
  enum class Layers {
    All,
    BelowPainted,  // those under the painted layer (none when it is the lowest)
    FromPainted,   // the painted layer, its painting, and those over it
  };

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

  // The layer a stroke paints now, or null. While it stays the same the
  // canvas keeps what it composed below that layer, and a redraw of the
  // stroke draws only that layer and the ones above it over that copy.
  virtual const void* paintedLayer() const { return nullptr; }
  // As viewDrawingRect (never in clean mode), limited to `layers`; only
  // asked for a part of the layers while paintedLayer() is set.
  virtual void viewDrawingLayersInRect(const QRectF& rect, Layers layers,
                                       bool disableInterpolation) {
    if (layers == Layers::All) viewDrawingRect(rect, false, disableInterpolation);
  }
};
