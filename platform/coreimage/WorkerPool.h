// The render engine spreads tiles over the program's one worker pool, which
// lives in the foundation so that layers below the engine share it.
#pragma once

#include <algorithm>

#include "foundation/WorkerPool.h"

namespace ci {

using WorkerPool = fnd::WorkerPool;

// The least rows of `width` pixels one band of a parallel loop should hold:
// waking a thread costs about as much as copying 64 K pixels, so cheap
// per-pixel work (`pixels` left at that) needs larger bands than a blur.
inline int bandRows(int width, int pixels = 65536) {
  return std::max(1, pixels / std::max(1, width));
}

}  // namespace ci
