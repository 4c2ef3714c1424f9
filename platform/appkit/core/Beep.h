// The system beep: how the program tells the user that a command could not
// act. The application installs the desktop's sound; tests install a
// counter, which takes the place of any sound.
#pragma once

#include <functional>

namespace ui {

// The handler when one is set; else the desktop's sound; else, where the
// platform has none, the terminal bell.
void beep();
// Null restores the sound.
void setBeepHandler(std::function<void()> handler);
// The desktop's sound; it returns false where the platform plug-in makes
// none, and the terminal bell rings instead. Null leaves only the bell.
void setSystemSound(std::function<bool()> sound);

}  // namespace ui
