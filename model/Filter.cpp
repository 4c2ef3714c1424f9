#include "model/Filter.h"

#include "model/Layer.h"

Layer* Filter::layer() const { return dynamic_cast<Layer*>(relatedObject("layer")); }
