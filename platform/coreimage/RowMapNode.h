// A per-pixel step given as a function over rows of premultiplied pixels,
// for adjustments whose parameters do not fit kernel arguments (lookup
// tables, cubes). The extent is the input's.
#pragma once

#include <functional>

#include "coreimage/Image.h"

namespace ci {

class RowMapNode : public ImageNode {
 public:
  using RowFunction = std::function<void(float* pixels, int count)>;
  RowMapNode(Image input, RowFunction function)
      : ImageNode(input.extent()), input_(std::move(input)), function_(std::move(function)) {}

  void render(PixelBuffer& out) const override {
    renderInto(*input_.node(), out);
    for (int y = out.rect().y; y < out.rect().top(); ++y) function_(out.row(y), out.rect().w);
  }

 private:
  Image input_;
  RowFunction function_;
};

}  // namespace ci
