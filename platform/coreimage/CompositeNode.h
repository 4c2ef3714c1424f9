// One image composited onto another with a compositing operation, numbered
// as the platform numbers them (2 source-over, 18 lighten, …). The result
// covers the union of both extents.
#pragma once

#include "coreimage/Image.h"

namespace ci {

class CompositeNode : public ImageNode {
 public:
  CompositeNode(Image source, Image destination, int operation);
  QRectF regionOfInterest(int index, const QRectF& rect) const override;
  void render(PixelBuffer& out) const override;
  // Source-over onto nothing (a brush's dab) is the source's rows.
  RowWriter rowWriter() const override;
  std::vector<const ImageNode*> inputs() const override {
    return nodesOf({&source_, &destination_});
  }

  const Image& source() const { return source_; }
  const Image& destination() const { return destination_; }
  int operation() const { return operation_; }

  // Composites premultiplied rows in place: dst = op(src, dst). Returns false
  // for an operation the engine does not know.
  static bool compositeRow(int operation, const float* src, float* dst, int count);

 private:
  Image source_;
  Image destination_;
  int operation_;
};

}  // namespace ci
