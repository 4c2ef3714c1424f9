#pragma once

#include "model/Layer.h"

// A layer whose pixels are text and which has no image of its own. Its text
// attributes, drawing and editing come with the text tools.
class TextLayer : public Layer {
 public:
  bool isText() const override { return true; }
};
