// A recipe leaf of one colour everywhere (infinite extent).
#pragma once

#include "coreimage/Color.h"
#include "coreimage/ImageNode.h"

namespace ci {

class ConstantColorNode : public ImageNode {
 public:
  explicit ConstantColorNode(const Color& color) : ImageNode(InfiniteRect) {
    color.premultiplied(rgba_);
  }
  void render(PixelBuffer& out) const override { out.fill(rgba_[0], rgba_[1], rgba_[2], rgba_[3]); }
  // Every component zero: the transparent nothing a recipe starts from.
  bool isTransparent() const {
    return rgba_[0] == 0 && rgba_[1] == 0 && rgba_[2] == 0 && rgba_[3] == 0;
  }

 private:
  float rgba_[4];
};

}  // namespace ci
