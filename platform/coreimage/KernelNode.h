// A recipe step that runs a kernel routine over each output row, with its
// image arguments rendered over their regions of interest first.
#pragma once

#include <array>
#include <vector>

#include "coreimage/Kernel.h"

namespace ci {

class KernelNode : public ImageNode {
 public:
  KernelNode(const QRectF& extent, QList<KernelParameter> parameters, KernelRoutine routine,
             RegionOfInterestCallback roi, std::vector<Image> images,
             std::vector<Sampling> samplings, std::vector<std::array<float, 4>> values);
  QRectF regionOfInterest(int index, const QRectF& rect) const override;
  void render(PixelBuffer& out) const override;
  // A kernel without images (a generator) writes its rows straight to bytes.
  bool renderBytes(const IRect& rect, Format format, uchar* topRow,
                   ptrdiff_t rowBytes) const override;
  // And any of its rows on their own.
  RowWriter rowWriter() const override;
  std::vector<const ImageNode*> inputs() const override;

 private:
  QList<KernelParameter> parameters_;
  KernelRoutine routine_;
  RegionOfInterestCallback roi_;
  std::vector<Image> images_;  // image arguments in order
  std::vector<Sampling> samplings_;
  std::vector<std::array<float, 4>> values_;
};

}  // namespace ci
