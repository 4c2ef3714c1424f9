#pragma once

namespace ui {
class Responder;
}

// What a list panel needs of its document window: the canvas, which takes
// the keys the lists do not use and whose cursor rectangles depend on the
// selection, and the tools, whose enabling follows the lists' content and
// whose selection decides what the Delete key deletes. The window
// controller implements it; tests use a small recorder.
class IMListPanelWindow {
 public:
  virtual ~IMListPanelWindow() = default;
  // Null until the window is loaded.
  virtual ui::Responder* mainView() = 0;
  virtual void resetCursorRectsOfMainView() = 0;
  // The tools controller's `hasSelection`.
  virtual bool toolsHaveSelection() = 0;
  // The tools controller's `updateEnablingOfTools`.
  virtual void updateEnablingOfTools() = 0;
};
