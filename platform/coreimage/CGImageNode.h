// A recipe leaf over immutable pixels (a gfx::CGImage). Rows are converted to
// float only for the region being rendered, so an 8-bit source is never
// expanded whole.
#pragma once

#include "coreimage/ImageNode.h"
#include "graphics/CGImage.h"

namespace ci {

class CGImageNode : public ImageNode {
 public:
  explicit CGImageNode(gfx::CGImagePtr image);
  void render(PixelBuffer& out) const override;

 private:
  gfx::CGImagePtr image_;
  bool fastRows_ = false;
};

}  // namespace ci
