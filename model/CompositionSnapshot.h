#pragma once

#include <QList>
#include <QRectF>
#include <memory>

#include "graphics/Image.h"
#include "model/LayerDrawingSnapshot.h"

class ComposedImage;
class Layer;

// The document's composition fixed at one moment: the canvas and each
// visible layer's drawing, bottom first. Taken on the main thread at the
// cost of reading the layers' values (pixels are shared, not copied); it is
// immutable after, so flattening it (the costly part) runs on any thread
// while the user goes on changing the document.
class CompositionSnapshot {
 public:
  using Ptr = std::shared_ptr<const CompositionSnapshot>;

  // `layers` top first, as the composed image orders them. Layers still
  // decoding are decoded first: a flattening must show every layer.
  static Ptr make(ComposedImage* image, const QList<Layer*>& layers);
  static Ptr make(ComposedImage* image);

  QRectF rect() const { return canvas_; }
  // Composites the layers into the current context, within `rect`.
  void compositeInRect(const QRectF& rect) const;
  // The canvas flattened on a clear (`keepAlpha`) or white background; the
  // part `rect` of it when `rect` is not empty. Null without a canvas.
  gfx::ImagePtr finalImageKeepAlpha(bool keepAlpha, const QRectF& rect = {}) const;
  // Whether every layer draws source-over, which a PDF page can composite.
  bool isSourceOverOnly() const;

 private:
  QRectF canvas_;
  QList<LayerDrawingSnapshot> drawings_;
};
