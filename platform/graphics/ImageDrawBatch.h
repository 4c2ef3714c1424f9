// Image draws onto an 8-bit premultiplied bitmap, kept until the batch runs:
// then every band of rows takes each draw in turn while the band's pixels
// are in cache, in one parallel pass over the shared worker pool, instead of
// one pass over the whole target per image. Internal to the graphics library.
#pragma once

#include <QImage>
#include <QRect>
#include <QTransform>
#include <optional>
#include <vector>

#include "graphics/CGImage.h"
#include "graphics/CompositingOperation.h"
#include "graphics/ConvexCoverage.h"

namespace gfx {

class ReducedPixels;

// One image's draw: where it lands and how each of its rows is sampled.
// A draw with a tile repeats it over its bounds instead: device pixel (x, y)
// takes the tile's pixel at (x − offset.x, y − offset.y), wrapped.
struct ImageDraw {
  QImage tile;
  CGImagePtr image;                      // keeps the pixels and their reduced copies alive
  const QImage* pixels = nullptr;        // the drawing pixels or a reduced level's
  const ReducedPixels* level = nullptr;  // the reduced level sampled, if any
  QRect edges;                           // the part of `pixels` drawn
  QTransform deviceToSource;             // for filtered draws
  bool wholePixels = false;              // device = source + offset
  bool nearest = false;                  // transformed, unsmoothed: the nearest pixel
  // A draw that replaces every pixel of its bounds, so draws before it that
  // lie within them need not be made.
  bool replacesBounds() const {
    return op == CompositingOperation::Copy && fraction >= 1 && !coverage;
  }
  QPoint offset;
  std::optional<ConvexCoverage> coverage;  // empty: the whole bounds are covered
  QRect bounds;                            // the device pixels written
  CompositingOperation op = CompositingOperation::SourceOver;
  float fraction = 1;
};

class ImageDrawBatch {
 public:
  void add(ImageDraw draw) { draws_.push_back(std::move(draw)); }
  bool isEmpty() const { return draws_.empty(); }
  // Draws everything added, in order, onto `target` (premultiplied ARGB32)
  // and empties the batch.
  void run(QImage& target);

 private:
  // Drops the draws that a later one replaces whole.
  void dropHiddenDraws();

  std::vector<ImageDraw> draws_;
};

}  // namespace gfx
