// What one render asks of each step of a recipe. A recipe is a graph: a
// step may feed several others (an image composited over a shadow made from
// itself), and each would render it again over its own region. The plan
// walks the graph once, before any pixel is made, sums up the region every
// such shared step is asked for, and then serves all of its readers from
// one render of that region.
#pragma once

#include <unordered_map>

#include "coreimage/ImageNode.h"

namespace ci {

class RenderPlan {
 public:
  RenderPlan(const ImageNode& root, const IRect& region);

  // Fills `out` with the pixels of `node` when the node is shared and `out`
  // lies inside its planned region; false, touching nothing, otherwise.
  bool serve(const ImageNode& node, PixelBuffer& out);
  // Lets every node that keeps pixels fill them for its planned region.
  void prepareKeptPixels();

  // The plan of the render running on this thread, or null.
  static RenderPlan* current();

  // Makes `plan` the current one for this thread while it lives.
  class Scope {
   public:
    explicit Scope(RenderPlan* plan);
    ~Scope();
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;

   private:
    RenderPlan* previous_;
  };

 private:
  struct Step {
    int readers = 0;  // edges into the step; shared when above one
    int served = 0;
    IRect region;  // everything its readers ask for
    PixelBuffer pixels;
  };

  void collect(const ImageNode& node, std::vector<const ImageNode*>& order);

  std::unordered_map<const ImageNode*, Step> steps_;
  bool anyShared_ = false;
  bool anyKeeping_ = false;
};

}  // namespace ci
