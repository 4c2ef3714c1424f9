#include "appkit/core/Beep.h"

#include <cstdio>
#include <mutex>

namespace ui {

namespace {
std::mutex gMutex;
std::function<void()>& handler() {
  static std::function<void()> installed;
  return installed;
}
}  // namespace

void beep() {
  std::function<void()> current;
  {
    std::lock_guard<std::mutex> lock(gMutex);
    current = handler();
  }
  if (current) {
    current();
    return;
  }
  std::fputc('\a', stderr);
  std::fflush(stderr);
}

void setBeepHandler(std::function<void()> newHandler) {
  std::lock_guard<std::mutex> lock(gMutex);
  handler() = std::move(newHandler);
}

}  // namespace ui
