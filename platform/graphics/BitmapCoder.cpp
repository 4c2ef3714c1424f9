#include "graphics/BitmapCoder.h"

#include <atomic>

namespace gfx {
namespace {

std::atomic<const BitmapCoder*>& slot() {
  static std::atomic<const BitmapCoder*> coder{nullptr};
  return coder;
}

}  // namespace

const BitmapCoder* BitmapCoder::installed() { return slot().load(std::memory_order_acquire); }

void BitmapCoder::install(const BitmapCoder* coder) {
  slot().store(coder, std::memory_order_release);
}

}  // namespace gfx
