// A recipe leaf over a float buffer held in memory (shared, never copied).
#pragma once

#include "coreimage/ImageNode.h"

namespace ci {

class BufferNode : public ImageNode {
 public:
  explicit BufferNode(PixelBuffer buffer)
      : ImageNode(buffer.rect().toRectF()), buffer_(std::move(buffer)) {}
  void render(PixelBuffer& out) const override { out.copyFrom(buffer_); }
  const PixelBuffer* heldPixels() const override { return &buffer_; }

 private:
  PixelBuffer buffer_;
};

}  // namespace ci
