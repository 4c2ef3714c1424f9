// The mean over a disc: each output pixel averages the input pixels whose
// centres lie within `radius` of its own centre. The extent grows by the radius.
#pragma once

#include <vector>

#include "coreimage/Image.h"

namespace ci {

class DiscBlurNode : public ImageNode {
 public:
  DiscBlurNode(Image input, double radius);
  QRectF regionOfInterest(int index, const QRectF& rect) const override;
  void render(PixelBuffer& out) const override;
  std::vector<const ImageNode*> inputs() const override { return nodesOf({&input_}); }

 private:
  Image input_;
  int reach_;                    // whole pixels the disc spans either side
  std::vector<int> halfWidths_;  // per row offset −reach…reach
  float scale_;                  // 1 / number of pixels in the disc
};

}  // namespace ci
