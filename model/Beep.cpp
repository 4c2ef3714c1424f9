#include "model/Beep.h"

#include <cstdio>
#include <mutex>

namespace {
std::mutex gMutex;
std::function<void()>& handler() {
  static std::function<void()> installed;
  return installed;
}
}  // namespace

void Beep::play() {
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

void Beep::setHandler(std::function<void()> newHandler) {
  std::lock_guard<std::mutex> lock(gMutex);
  handler() = std::move(newHandler);
}
