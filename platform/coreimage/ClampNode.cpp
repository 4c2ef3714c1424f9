#include "coreimage/ClampNode.h"

#include <cstring>

#include "coreimage/WorkerPool.h"

namespace ci {

ClampNode::ClampNode(Image input)
    : ImageNode(isInfinite(input.extent()) || isEmpty(input.extent()) ? input.extent()
                                                                      : InfiniteRect),
      input_(std::move(input)),
      edge_(IRect::covering(input_.extent())) {}

QRectF ClampNode::regionOfInterest(int, const QRectF& rect) const {
  const IRect r = IRect::covering(rect);
  const int x0 = std::clamp(r.x, edge_.x, edge_.right() - 1);
  const int x1 = std::clamp(r.right() - 1, edge_.x, edge_.right() - 1);
  const int y0 = std::clamp(r.y, edge_.y, edge_.top() - 1);
  const int y1 = std::clamp(r.top() - 1, edge_.y, edge_.top() - 1);
  return QRectF(x0, y0, x1 - x0 + 1, y1 - y0 + 1);
}

void ClampNode::render(PixelBuffer& out) const {
  if (edge_.contains(out.rect()) || edge_.isEmpty()) {
    renderInto(*input_.node(), out);
    return;
  }
  const PixelBuffer in = renderInput(0, input_, out.rect());
  const IRect& r = out.rect();
  const IRect& s = in.rect();
  WorkerPool::parallelBands(r.h, bandRows(r.w), [&](int begin, int end) {
    for (int y = r.y + begin; y < r.y + end; ++y) {
      const float* source = in.row(std::clamp(y, s.y, s.top() - 1));
      float* row = out.row(y);
      for (int x = r.x; x < r.right(); ++x, row += 4)
        std::memcpy(row, source + size_t(std::clamp(x, s.x, s.right() - 1) - s.x) * 4, 16);
    }
  });
}

}  // namespace ci
