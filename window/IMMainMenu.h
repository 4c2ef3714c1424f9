#pragma once

class QMenuBar;

namespace ui {
class DocumentController;
class Window;
}  // namespace ui

// The program's main menu. This desktop has no menu bar outside windows, so
// every document window carries its own copy. Each item sends its action
// along the responder chain and is enabled by validation; commands of parts
// of the program that do not exist yet are left out, not shown disabled.
class IMMainMenu {
 public:
  // Fills `window`'s menu bar; `documentController` (may be null) gives the
  // recent-documents menu.
  static void installIn(ui::Window* window, ui::DocumentController* documentController);
  static bool isInstalledIn(const ui::Window* window);
  static void fill(QMenuBar* bar, ui::DocumentController* documentController);
};
