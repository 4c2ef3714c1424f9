// The system beep: how the program tells the user that a command could not
// act. The application installs the real sound; tests install a counter.
#pragma once

#include <functional>

namespace ui {

// Without a handler the beep goes to the terminal bell.
void beep();
// Null restores the terminal bell.
void setBeepHandler(std::function<void()> handler);

}  // namespace ui
