// The built-in catalogue, one family per file in this folder. The registry
// calls each family once, on first use.
#pragma once

namespace ci {
class FilterRegistry;
}

namespace ci::filters {

void registerGeometryFilters(FilterRegistry& registry);
void registerCompositeFilters(FilterRegistry& registry);
void registerBlurFilters(FilterRegistry& registry);
void registerStylizeFilters(FilterRegistry& registry);
// Parts of the stylize family, registered by registerStylizeFilters.
void registerStylizeLightFilters(FilterRegistry& registry);
void registerStylizeEdgeFilters(FilterRegistry& registry);
void registerStylizeCellFilters(FilterRegistry& registry);
void registerGeneratorFilters(FilterRegistry& registry);
// Part of the generators, called by registerGeneratorFilters.
void registerLightGeneratorFilters(FilterRegistry& registry);
void registerGradientFilters(FilterRegistry& registry);
void registerColorAdjustmentFilters(FilterRegistry& registry);
// Part of the colour adjustments, called by registerColorAdjustmentFilters.
void registerColorToneFilters(FilterRegistry& registry);
void registerColorEffectFilters(FilterRegistry& registry);
void registerDistortionFilters(FilterRegistry& registry);
void registerSharpenFilters(FilterRegistry& registry);
void registerReductionFilters(FilterRegistry& registry);
void registerHalftoneFilters(FilterRegistry& registry);
void registerTileFilters(FilterRegistry& registry);
void registerTransitionFilters(FilterRegistry& registry);

}  // namespace ci::filters
