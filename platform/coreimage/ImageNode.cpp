#include "coreimage/ImageNode.h"

#include "coreimage/Image.h"

namespace ci {

QRectF ImageNode::regionOfInterest(int, const QRectF& rect) const { return rect; }

void ImageNode::renderInto(const ImageNode& node, PixelBuffer& out) {
  const IRect inside = out.rect().intersected(IRect::covering(node.extent()));
  if (inside.isEmpty()) {
    out.clear();
    return;
  }
  if (inside == out.rect()) {
    node.render(out);
    return;
  }
  out.clearOutside(inside);
  PixelBuffer part = out.view(inside);
  node.render(part);
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
