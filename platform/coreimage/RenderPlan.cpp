#include "coreimage/RenderPlan.h"

#include <algorithm>

namespace ci {

namespace {

thread_local RenderPlan* currentPlan = nullptr;

// A shared step is kept in memory for the length of one tile; one larger
// than this (an endless image asked for far outside what is shown) renders
// for each reader instead.
constexpr long long kLargestKept = 1LL << 24;

}  // namespace

RenderPlan::RenderPlan(const ImageNode& root, const IRect& region) {
  std::vector<const ImageNode*> order;
  collect(root, order);
  if (!anyShared_ && !anyKeeping_) return;
  // Post-order puts every step after its inputs; walked backwards, each
  // step's region is complete before it is passed on to its inputs.
  steps_[&root].region = region.intersected(IRect::covering(root.extent()));
  for (auto it = order.rbegin(); it != order.rend(); ++it) {
    const ImageNode* node = *it;
    const IRect asked = steps_[node].region;
    if (asked.isEmpty()) continue;
    const std::vector<const ImageNode*> inputs = node->inputs();
    for (size_t i = 0; i < inputs.size(); ++i) {
      if (!inputs[i]) continue;
      const IRect need = IRect::covering(node->regionOfInterest(int(i), asked.toRectF()))
                             .intersected(IRect::covering(inputs[i]->extent()));
      if (need.isEmpty()) continue;
      IRect& region = steps_[inputs[i]].region;
      region = region.isEmpty() ? need : region.united(need);
    }
  }
}

void RenderPlan::collect(const ImageNode& node, std::vector<const ImageNode*>& order) {
  Step& step = steps_[&node];
  anyKeeping_ = anyKeeping_ || node.keepsPixels();
  if (++step.readers > 1) {
    anyShared_ = true;
    return;
  }
  for (const ImageNode* input : node.inputs())
    if (input) collect(*input, order);
  order.push_back(&node);
}

bool RenderPlan::serve(const ImageNode& node, PixelBuffer& out) {
  if (!anyShared_) return false;
  auto it = steps_.find(&node);
  if (it == steps_.end()) return false;
  Step& step = it->second;
  if (step.readers < 2 || !step.region.contains(out.rect()) || step.region.area() > kLargestKept)
    return false;
  if (step.pixels.isNull()) {
    step.pixels = PixelBuffer(step.region);
    node.render(step.pixels);
  }
  out.copyFrom(step.pixels);
  // The last reader lets the pixels go.
  if (++step.served == step.readers) step.pixels = PixelBuffer();
  return true;
}

void RenderPlan::prepareKeptPixels() {
  if (!anyKeeping_) return;
  for (const auto& [node, step] : steps_)
    if (node->keepsPixels() && !step.region.isEmpty()) node->prepare(step.region);
}

RenderPlan* RenderPlan::current() { return currentPlan; }

RenderPlan::Scope::Scope(RenderPlan* plan) : previous_(currentPlan) { currentPlan = plan; }

RenderPlan::Scope::~Scope() { currentPlan = previous_; }

}  // namespace ci
