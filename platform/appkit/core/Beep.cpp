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
std::function<bool()>& systemSound() {
  static std::function<bool()> installed;
  return installed;
}
}  // namespace

void beep() {
  std::function<void()> current;
  std::function<bool()> sound;
  {
    std::lock_guard<std::mutex> lock(gMutex);
    current = handler();
    sound = systemSound();
  }
  if (current) {
    current();
    return;
  }
  if (sound && sound()) return;
  std::fputc('\a', stderr);
  std::fflush(stderr);
}

void setBeepHandler(std::function<void()> newHandler) {
  std::lock_guard<std::mutex> lock(gMutex);
  handler() = std::move(newHandler);
}

void setSystemSound(std::function<bool()> sound) {
  std::lock_guard<std::mutex> lock(gMutex);
  systemSound() = std::move(sound);
}

}  // namespace ui
