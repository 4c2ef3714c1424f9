// The render engine spreads tiles over the program's one worker pool, which
// lives in the foundation so that layers below the engine share it.
#pragma once

#include "foundation/WorkerPool.h"

namespace ci {

using WorkerPool = fnd::WorkerPool;

}  // namespace ci
