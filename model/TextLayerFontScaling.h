// Scaling every font of an attributed string, as text layers do when they
// are zoomed: the text itself grows instead of its bitmap.
#pragma once

#include "graphics/AttributedString.h"

// A copy of `string` in which each run's font is the same font at its point
// size times `scale`; every other attribute stays as it is. A run without a
// font is given the default sans-serif (12 points) times `scale`, the font it
// is drawn with, so zooming grows it too.
gfx::AttributedString attributedStringWithScale(const gfx::AttributedString& string, double scale);
