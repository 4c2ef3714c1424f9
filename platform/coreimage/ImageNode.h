// One step of a recipe: something that can produce any integer region of
// itself as premultiplied float RGBA. Nodes are immutable and shared between
// images; rendering pulls from inputs only the region each step needs.
#pragma once

#include <QRectF>
#include <functional>
#include <memory>
#include <vector>

#include "coreimage/PixelBuffer.h"
#include "coreimage/PixelFormat.h"

namespace ci {

class Image;

class ImageNode {
 public:
  explicit ImageNode(const QRectF& extent) : extent_(extent) {}
  virtual ~ImageNode() = default;
  ImageNode(const ImageNode&) = delete;
  ImageNode& operator=(const ImageNode&) = delete;

  const QRectF& extent() const { return extent_; }

  // The region of input `index` this node reads to produce `rect`.
  virtual QRectF regionOfInterest(int index, const QRectF& rect) const;

  // Writes every pixel of `out`. Callers go through renderInto, which hands
  // a node only regions that lie within the pixels covering its extent.
  virtual void render(PixelBuffer& out) const = 0;

  // Pixels this node already holds in memory, for callers that can read
  // them in place instead of rendering a copy; null for computed nodes.
  virtual const PixelBuffer* heldPixels() const { return nullptr; }

  // The nodes this one reads, in the order regionOfInterest numbers them
  // (null for a missing input); none for sources. A node that does not list
  // its inputs still renders correctly, only without the sharing a
  // RenderPlan arranges below it.
  virtual std::vector<const ImageNode*> inputs() const { return {}; }

  // Writes `rect` (inside the extent) as 8-bit (or float) pixels in
  // `format`, top row first at `topRow`, when the node holds such pixels
  // already; false, writing nothing, when the caller must render.
  virtual bool renderBytes(const IRect& rect, Format format, uchar* topRow,
                           ptrdiff_t rowBytes) const;
  // A node that keeps rendered pixels fills them in prepare(), which a
  // render calls once, before its tiles start, with the region it will ask
  // for; so the filling runs in parallel and the tiles only read.
  virtual bool keepsPixels() const { return false; }
  virtual void prepare(const IRect&) const {}

  // Writes `count` pixels of row `y` from `x` into `out`: the very pixels
  // render() gives there.
  using RowWriter = std::function<void(int x, int y, int count, float* out)>;
  // For a node whose pixels depend on their position alone (a gradient, a
  // crop of one), a writer of any of its rows, so that a caller can take a
  // row at a time into a small buffer instead of a buffer of the whole
  // region (a brush's dab composited straight onto its tiles); empty for
  // any other node. A writer serves one thread at a time: each thread asks
  // for its own.
  virtual RowWriter rowWriter() const { return {}; }

  // Renders `node` into `out`: transparent outside its extent, render() for
  // the pixels inside.
  static void renderInto(const ImageNode& node, PixelBuffer& out);
  // The rows renderInto would give: transparent outside the node's extent.
  // Empty when the node has no writer.
  static RowWriter rowWriterInto(const ImageNode& node);

 protected:
  // Renders `input` over the region of interest of input `index` for `rect`.
  PixelBuffer renderInput(int index, const Image& input, const IRect& rect) const;
  static std::vector<const ImageNode*> nodesOf(std::initializer_list<const Image*> images);
  // `inner` inside `inside`, transparent outside it.
  static RowWriter clippedRowWriter(RowWriter inner, const IRect& inside);

 private:
  QRectF extent_;
};

using ImageNodePtr = std::shared_ptr<const ImageNode>;

}  // namespace ci
