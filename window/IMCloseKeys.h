#pragma once

class QWidget;

// The keys that close a utility window of the program (help, preferences):
// Escape and the desktop's Close shortcut (Ctrl+W), as in other desktop
// programs' auxiliary windows. They act while the window is active.
struct IMCloseKeys {
  static void installIn(QWidget* window);
};
