#include "coreimage/CropNode.h"

namespace ci {

namespace {
// Pixels whose centre lies in [x0, x1): the first is ceil(x0 - ½), the last ceil(x1 - ½) - 1.
int firstCentreInside(double edge) { return int(std::ceil(std::clamp(edge, -1e9, 1e9) - 0.5)); }
}  // namespace

CropNode::CropNode(Image input, const QRectF& rect)
    : ImageNode(intersect(input.extent(), rect)), input_(std::move(input)) {
  if (isInfinite(rect)) {
    keep_ = IRect::covering(extent());
    return;
  }
  const int x0 = firstCentreInside(rect.x()), x1 = firstCentreInside(rect.x() + rect.width());
  const int y0 = firstCentreInside(rect.y()), y1 = firstCentreInside(rect.y() + rect.height());
  keep_ = {x0, y0, x1 - x0, y1 - y0};
}

void CropNode::render(PixelBuffer& out) const {
  const IRect inside = out.rect().intersected(keep_);
  if (inside.isEmpty()) {
    out.clear();
    return;
  }
  out.clearOutside(inside);
  PixelBuffer part = out.view(inside);
  renderInto(*input_.node(), part);
}

}  // namespace ci
