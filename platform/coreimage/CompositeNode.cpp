#include "coreimage/CompositeNode.h"

#include <algorithm>
#include <cstring>

#include "coreimage/ConstantColorNode.h"
#include "coreimage/Vectorize.h"
#include "coreimage/WorkerPool.h"
#include "graphics/CompositingOperation.h"

namespace ci {

namespace {

// The common case of every layer stack and brush stroke, kept as its own
// loop on two pixels at a time, each one's alpha spread over its four
// components; every other operation uses the drawing layer's formulas.
// Each component is computed as s + d·(1 − sa), whichever path runs.
using Pixels2 = float __attribute__((vector_size(32)));

CI_VECTORIZE void sourceOver(const float* s, float* d, int count) {
  int i = 0;
  for (; i + 2 <= count; i += 2, s += 8, d += 8) {
    Pixels2 src, dst;
    std::memcpy(&src, s, sizeof src);
    std::memcpy(&dst, d, sizeof dst);
    const Pixels2 alpha = __builtin_shufflevector(src, src, 3, 3, 3, 3, 7, 7, 7, 7);
    dst = src + dst * (1.0f - alpha);
    std::memcpy(d, &dst, sizeof dst);
  }
  for (; i < count; ++i, s += 4, d += 4) {
    const float k = 1.0f - s[3];
    for (int c = 0; c < 4; ++c) d[c] = s[c] + d[c] * k;
  }
}

// Null, empty, or transparent wherever it reaches.
bool coversNothing(const Image& image) {
  if (image.isNull() || isEmpty(image.extent())) return true;
  const auto* color = dynamic_cast<const ConstantColorNode*>(image.node().get());
  return color && color->isTransparent();
}

}  // namespace

bool CompositeNode::compositeRow(int op, const float* s, float* d, int n) {
  if (op < 0 || op >= gfx::CompositingOperationCount) return false;
  if (op == int(gfx::CompositingOperation::SourceOver))
    sourceOver(s, d, n);
  else
    gfx::compositePixels(gfx::CompositingOperation(op), s, d, n, 1.0f);
  return true;
}

CompositeNode::CompositeNode(Image source, Image destination, int operation)
    : ImageNode(unite(source.extent(), destination.extent())),
      source_(std::move(source)),
      destination_(std::move(destination)),
      operation_(operation) {}

QRectF CompositeNode::regionOfInterest(int index, const QRectF& rect) const {
  return intersect(rect, index == 0 ? source_.extent() : destination_.extent());
}

ImageNode::RowWriter CompositeNode::rowWriter() const {
  if (operation_ != int(gfx::CompositingOperation::SourceOver) || source_.isNull() ||
      !coversNothing(destination_))
    return {};
  return rowWriterInto(*source_.node());
}

void CompositeNode::render(PixelBuffer& out) const {
  // Source-over onto nothing is the source itself (s + 0·(1 − sa) = s), as
  // a brush's dab is made: rendered straight into `out`, with no clearing,
  // no buffer of its own and no pass over the pixels.
  if (operation_ == int(gfx::CompositingOperation::SourceOver) && !source_.isNull() &&
      coversNothing(destination_)) {
    renderInto(*source_.node(), out);
    return;
  }
  if (destination_.isNull())
    out.clear();
  else
    renderInto(*destination_.node(), out);
  if (source_.isNull()) return;
  const IRect& r = out.rect();
  // Operations such as source-in change pixels the source does not cover.
  const bool boundedBySource =
      !gfx::clearsWhereSourceIsTransparent(gfx::CompositingOperation(operation_));
  const IRect region = boundedBySource ? IRect::covering(regionOfInterest(0, r.toRectF())) : r;
  if (region.isEmpty()) return;
  PixelBuffer src(region);
  renderInto(*source_.node(), src);
  WorkerPool::parallelBands(region.h, bandRows(region.w), [&](int begin, int end) {
    for (int y = region.y + begin; y < region.y + end; ++y)
      compositeRow(operation_, src.row(y), out.pixel(region.x, y), region.w);
  });
}

}  // namespace ci
