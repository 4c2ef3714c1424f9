#pragma once

// Registers the transformers the document window's bindings name, under
// their class names and in this order: LogValueForScaleSliderTransformer,
// IsMultipleValueTransformer, IsSingleValueTransformer. Done once, when the
// first window controller is made; later calls do nothing.
void IMRegisterWindowValueTransformers();
