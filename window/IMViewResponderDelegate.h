#pragma once

#include <functional>

#include "appkit/Event.h"

// Receives every mouse, gesture and key event of a canvas view. Each comes
// with a fallback that runs the view's own handling of the event it is
// given (passing it along the responder chain); the delegate either handles
// the event or calls the fallback.
class IMViewResponderDelegate {
 public:
  using Fallback = std::function<void(ui::Event&)>;
  virtual ~IMViewResponderDelegate() = default;
  virtual void mouseDown(ui::Event& event, const Fallback& fallbackHandler) = 0;
  virtual void mouseUp(ui::Event& event, const Fallback& fallbackHandler) = 0;
  virtual void mouseDragged(ui::Event& event, const Fallback& fallbackHandler) = 0;
  virtual void beginGestureWithEvent(ui::Event& event, const Fallback& fallbackHandler) = 0;
  virtual void endGestureWithEvent(ui::Event& event, const Fallback& fallbackHandler) = 0;
  virtual void rotateWithEvent(ui::Event& event, const Fallback& fallbackHandler) = 0;
  virtual void magnifyWithEvent(ui::Event& event, const Fallback& fallbackHandler) = 0;
  virtual void swipeWithEvent(ui::Event& event, const Fallback& fallbackHandler) = 0;
  virtual void keyDown(ui::Event& event, const Fallback& fallbackHandler) = 0;
  virtual void keyUp(ui::Event& event, const Fallback& fallbackHandler) = 0;
  virtual void flagsChanged(ui::Event& event, const Fallback& fallbackHandler) = 0;
  // Installs the canvas's cursor rectangles (with the canvas's addCursorRect).
  virtual void resetCursorRects() = 0;
};
