// Compositing: an image over a background with a compositing operation;
// the formulas are the drawing layer's (gfx::compositePixels).
#include "coreimage/CompositeNode.h"
#include "coreimage/FilterRegistry.h"
#include "coreimage/filters/BuiltInFilter.h"
#include "coreimage/filters/FilterFamilies.h"
#include "graphics/CompositingOperation.h"

namespace ci::filters {

namespace {

FilterRecipe compositeWith(gfx::CompositingOperation op) {
  return [op](const BuiltInFilter& f) {
    const Image source = f.imageValue(kCIInputImageKey);
    const Image background = f.imageValue(kCIInputBackgroundImageKey);
    if (source.isNull() || background.isNull()) return Image();
    return Image(std::make_shared<CompositeNode>(source, background, int(op)));
  };
}

QList<FilterInput> compositeInputs() {
  return {imageInput(kCIInputImageKey, "The image to place on top."),
          imageInput(kCIInputBackgroundImageKey, "The image to use as a background image.")};
}

}  // namespace

void registerCompositeFilters(FilterRegistry& registry) {
  const QStringList composite =
      categories({kCICategoryCompositeOperation, kCICategoryVideo, kCICategoryInterlaced,
                  kCICategoryNonSquarePixels, kCICategoryHighDynamicRange});
  registerDefinitions(
      registry, {
                    {"CISourceOverCompositing", composite,
                     "Places the input image over the background image.", compositeInputs(),
                     compositeWith(gfx::CompositingOperation::SourceOver)},
                    {"CILightenBlendMode", composite,
                     "Keeps the lighter of each component of the two images.", compositeInputs(),
                     compositeWith(gfx::CompositingOperation::Lighten)},
                });
}

}  // namespace ci::filters
