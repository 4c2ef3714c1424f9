// A per-pixel step given as a function over rows of premultiplied pixels,
// for adjustments whose parameters do not fit kernel arguments (lookup
// tables, cubes). The extent is the input's.
#pragma once

#include <functional>

#include "coreimage/Image.h"
#include "coreimage/WorkerPool.h"

namespace ci {

class RowMapNode : public ImageNode {
 public:
  using RowFunction = std::function<void(float* pixels, int count)>;
  RowMapNode(Image input, RowFunction function)
      : ImageNode(input.extent()), input_(std::move(input)), function_(std::move(function)) {}

  std::vector<const ImageNode*> inputs() const override { return nodesOf({&input_}); }

  void render(PixelBuffer& out) const override {
    renderInto(*input_.node(), out);
    const IRect& r = out.rect();
    WorkerPool::parallelBands(r.h, bandRows(r.w, 16384), [&](int begin, int end) {
      for (int y = r.y + begin; y < r.y + end; ++y) function_(out.row(y), r.w);
    });
  }

 private:
  Image input_;
  RowFunction function_;
};

}  // namespace ci
