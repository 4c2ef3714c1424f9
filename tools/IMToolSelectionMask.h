#pragma once

#include "coreimage/Image.h"

class IMToolsController;

// Keeps only the part of `image` (document coordinates) that the current
// selection covers; the image unchanged without a selection.
ci::Image IMToolMaskedBySelection(IMToolsController* toolsController, const ci::Image& image);
