#pragma once

#include <QRectF>

#include "coreimage/Image.h"
#include "graphics/AffineTransform.h"
#include "graphics/AttributedString.h"
#include "graphics/Image.h"

// One layer's drawing fixed as values: what it shows (its filter recipe,
// pixels or text), where (its transformation and bounds) and how (operation,
// opacity, the painting accumulator over it). The layer makes it on the main
// thread each time it draws (Layer::drawingSnapshot); drawing it reads
// nothing of the model, so the canvas and a flattening on another thread
// draw the same pixels by the same code.
struct LayerDrawingSnapshot {
  enum class Content {
    None,
    Recipe,          // a filter recipe drawn as one
    RenderedRecipe,  // a filter recipe rendered to pixels first
    Pixels,
    Text,
  };

  // Draws into the current graphics context the part that shows through
  // its clip. Nothing without a context.
  void draw() const;
  // Whether anything of the layer can show in `rect` (document space).
  bool mayShowIn(const QRectF& rect) const;
  // Copies the layer image's representations, which the model may change
  // in place, for a drawing kept beyond the moment it was made.
  void detach();
  // Whether it draws source-over only, as a PDF page can composite.
  bool isSourceOverOnly() const;

  gfx::AffineTransform transform;
  QRectF clippingRect;
  QRectF bounds;
  Content content = Content::None;
  ci::Image recipe;
  gfx::ImagePtr pixels;
  gfx::AttributedString text;
  qint64 operation = 2;
  double fraction = 1.0;
  bool disableInterpolation = false;

  bool hasAccumulator = false;
  ci::Image accumulator;
  QRectF accumulatorExtent;
  qint64 accumulatorOperation = 2;
  double accumulatorFraction = 1.0;

 private:
  void drawContent() const;
  void drawText() const;
  void drawAccumulator() const;
};
