// Keeps the pixels of its input whose centres lie inside a rectangle.
#pragma once

#include "coreimage/Image.h"

namespace ci {

class CropNode : public ImageNode {
 public:
  CropNode(Image input, const QRectF& rect);
  void render(PixelBuffer& out) const override;
  std::vector<const ImageNode*> inputs() const override { return nodesOf({&input_}); }
  RowWriter rowWriter() const override {
    RowWriter inner = rowWriterInto(*input_.node());
    return inner ? clippedRowWriter(std::move(inner), keep_) : RowWriter();
  }
  bool renderBytes(const IRect& rect, Format format, uchar* topRow,
                   ptrdiff_t rowBytes) const override {
    return keep_.contains(rect) && input_.node()->renderBytes(rect, format, topRow, rowBytes);
  }

 private:
  Image input_;
  IRect keep_;
};

}  // namespace ci
