// The graphics state a GraphicsContext saves and restores. Internal to the
// graphics library.
#pragma once

#include <QPainterPath>
#include <QTransform>

#include "graphics/GraphicsContext.h"

namespace gfx {

struct GraphicsContext::State {
  QTransform ctm;           // user space → document points
  QPainterPath deviceClip;  // in device pixels, so later CTM changes leave it put
  bool hasClip = false;
  CompositingOperation op = CompositingOperation::SourceOver;
  double alpha = 1.0;
  bool interpolate = true;
  bool antialias = true;
};

}  // namespace gfx

#include <functional>

namespace gfx {

// One drawing: what it paints and where it counts as covering the target.
// Operations apply only inside the coverage (and the clip); outside it the
// destination is left alone.
struct GraphicsContext::DrawRequest {
  // Where the drawing applies, in user space.
  QPainterPath coverage;
  // Paints the drawing as it would look drawn source-over; the painter's
  // transform already maps user space.
  std::function<void(QPainter&)> paint;
  // Paints the coverage opaquely when it is not simply `coverage` filled
  // (text: the glyphs). Optional.
  std::function<void(QPainter&)> paintCoverage;
  // Whether `paint` may run on several threads at once, each with its own
  // painter (it only reads what it draws: an image, a colour, a path).
  bool paintsConcurrently = false;
};

}  // namespace gfx
