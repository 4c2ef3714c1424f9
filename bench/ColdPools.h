// Registers the program's pools of recycled memory (the render engine's
// blocks, the bitmaps' buffers) with bench::coldStartWork(), for programs
// that link the render engine: a cold run of ours then starts without the
// memory an earlier run left there.
#pragma once

#include "BenchReport.h"
#include "coreimage/BlockPool.h"
#include "graphics/PixelBufferPool.h"

namespace bench {

inline const bool coldPoolsRegistered = [] {
  coldStartWork().push_back([] {
    ci::BlockPool::shared().releaseKept();
    gfx::PixelBufferPool::releaseIdle();
  });
  return true;
}();

}  // namespace bench
