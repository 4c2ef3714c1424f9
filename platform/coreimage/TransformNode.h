// An affine transform of its input, sampled at each output pixel centre
// with bilinear interpolation (or the nearest pixel). Whole-pixel
// translations move the input's pixels without resampling.
#pragma once

#include <QTransform>

#include "coreimage/Image.h"

namespace ci {

class TransformNode : public ImageNode {
 public:
  TransformNode(Image input, const QTransform& transform, Sampling sampling);
  QRectF regionOfInterest(int index, const QRectF& rect) const override;
  void render(PixelBuffer& out) const override;
  std::vector<const ImageNode*> inputs() const override { return nodesOf({&input_}); }

  static QRectF transformedExtent(const QRectF& extent, const QTransform& transform);

 private:
  void resampleRows(const PixelBuffer& in, PixelBuffer& out) const;

  Image input_;
  QTransform transform_;
  QTransform inverse_;
  Sampling sampling_;
  bool wholePixelShift_ = false;
};

}  // namespace ci
