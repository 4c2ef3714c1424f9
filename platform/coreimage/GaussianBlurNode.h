// A Gaussian blur of standard deviation sigma, as two passes of a direct
// symmetric convolution (vertical, then horizontal) truncated at 3σ, which
// is also how far the extent grows. Each output pixel is computed the same
// way whatever tile it falls in, so tiled renders match whole ones exactly.
#pragma once

#include <vector>

#include "coreimage/Image.h"

namespace ci {

class GaussianBlurNode : public ImageNode {
 public:
  GaussianBlurNode(Image input, double sigma);
  QRectF regionOfInterest(int index, const QRectF& rect) const override;
  void render(PixelBuffer& out) const override;
  std::vector<const ImageNode*> inputs() const override { return nodesOf({&input_}); }

  // Weights w[0..radius] of the normalised one-sided kernel (w[0] the centre).
  static std::vector<float> weights(double sigma);
  static int radiusForSigma(double sigma);

 private:
  Image input_;
  std::vector<float> weights_;
  int radius_;
};

}  // namespace ci
