// Extends its input for ever by repeating the edge pixels (infinite extent).
#pragma once

#include "coreimage/Image.h"

namespace ci {

class ClampNode : public ImageNode {
 public:
  explicit ClampNode(Image input);
  QRectF regionOfInterest(int index, const QRectF& rect) const override;
  void render(PixelBuffer& out) const override;
  std::vector<const ImageNode*> inputs() const override { return nodesOf({&input_}); }

 private:
  Image input_;
  IRect edge_;  // the input's pixels
};

}  // namespace ci
