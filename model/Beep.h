#pragma once

#include <functional>

// The model's one way to tell the user that a command could not act. The
// interface layer installs the real sound; tests install a counter. Without a
// handler the beep goes to the terminal bell.
class Beep {
 public:
  static void play();
  // Null restores the default.
  static void setHandler(std::function<void()> handler);
};
