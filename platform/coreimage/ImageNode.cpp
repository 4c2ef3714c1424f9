#include "coreimage/ImageNode.h"

#include <algorithm>

#include "coreimage/Image.h"
#include "coreimage/RenderPlan.h"

namespace ci {

QRectF ImageNode::regionOfInterest(int, const QRectF& rect) const { return rect; }

bool ImageNode::renderBytes(const IRect&, Format, uchar*, ptrdiff_t) const { return false; }

void ImageNode::renderInto(const ImageNode& node, PixelBuffer& out) {
  const IRect inside = out.rect().intersected(IRect::covering(node.extent()));
  if (inside.isEmpty()) {
    out.clear();
    return;
  }
  if (inside == out.rect()) {
    if (RenderPlan* plan = RenderPlan::current(); plan && plan->serve(node, out)) return;
    node.render(out);
    return;
  }
  out.clearOutside(inside);
  PixelBuffer part = out.view(inside);
  if (RenderPlan* plan = RenderPlan::current(); plan && plan->serve(node, part)) return;
  node.render(part);
}

ImageNode::RowWriter ImageNode::rowWriterInto(const ImageNode& node) {
  RowWriter inner = node.rowWriter();
  if (!inner) return {};
  return clippedRowWriter(std::move(inner), IRect::covering(node.extent()));
}

namespace {

// A writer cut to a rectangle. A clip of a clip is one clip to both, so a
// dab cut to its square over a gradient costs one call more per row, not one
// per step of its recipe.
struct ClippedRows {
  ImageNode::RowWriter inner;
  IRect inside;

  void operator()(int x, int y, int count, float* out) const {
    const int begin = std::clamp(inside.x, x, x + count);
    const int end = std::clamp(inside.right(), begin, x + count);
    if (y < inside.y || y >= inside.top() || begin == end) {
      std::fill_n(out, size_t(count) * 4, 0.0f);
      return;
    }
    std::fill_n(out, size_t(begin - x) * 4, 0.0f);
    inner(begin, y, end - begin, out + size_t(begin - x) * 4);
    std::fill_n(out + size_t(end - x) * 4, size_t(x + count - end) * 4, 0.0f);
  }
};

}  // namespace

ImageNode::RowWriter ImageNode::clippedRowWriter(RowWriter inner, const IRect& inside) {
  if (const auto* clipped = inner.target<ClippedRows>())
    return ClippedRows{clipped->inner, clipped->inside.intersected(inside)};
  return ClippedRows{std::move(inner), inside};
}

std::vector<const ImageNode*> ImageNode::nodesOf(std::initializer_list<const Image*> images) {
  std::vector<const ImageNode*> nodes;
  for (const Image* image : images) nodes.push_back(image->node().get());
  return nodes;
}

PixelBuffer ImageNode::renderInput(int index, const Image& input, const IRect& rect) const {
  PixelBuffer buffer(IRect::covering(regionOfInterest(index, rect.toRectF())));
  if (!buffer.isNull()) {
    if (input.node())
      renderInto(*input.node(), buffer);
    else
      buffer.clear();
  }
  return buffer;
}

}  // namespace ci
