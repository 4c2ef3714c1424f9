// Every event of the canvas goes to its responder delegate with a fallback
// to the view's own handling; without a delegate the event is dropped.
#include <QPointer>

#include "window/IMView.h"

void IMView::forward(Message message, Inherited inherited, ui::Event& event) {
  IMViewResponderDelegate* delegate = redirectResponder_.load();
  if (!delegate) return;
  // The fallback may outlive the view (a delegate may keep it): it then does nothing.
  QPointer<IMView> self(this);
  (delegate->*message)(event, [self, inherited](ui::Event& e) {
    if (self) inherited(self.data(), e);
  });
}

#define TESSALY_FORWARD(method)                                                \
  void IMView::method(ui::Event& event) {                                      \
    forward(                                                                   \
        &IMViewResponderDelegate::method,                                      \
        [](IMView* view, ui::Event& e) { view->ui::View::method(e); }, event); \
  }
TESSALY_FORWARD(mouseDown)
TESSALY_FORWARD(mouseUp)
TESSALY_FORWARD(mouseDragged)
TESSALY_FORWARD(beginGestureWithEvent)
TESSALY_FORWARD(endGestureWithEvent)
TESSALY_FORWARD(rotateWithEvent)
TESSALY_FORWARD(magnifyWithEvent)
TESSALY_FORWARD(swipeWithEvent)
TESSALY_FORWARD(keyDown)
TESSALY_FORWARD(keyUp)
#undef TESSALY_FORWARD

// A modifier change also rebuilds the window's cursor rectangles (the
// cursor may depend on the keys held) and always reaches the next responder.
void IMView::flagsChanged(ui::Event& event) {
  forward(
      &IMViewResponderDelegate::flagsChanged,
      [](IMView* view, ui::Event& e) { view->ui::View::flagsChanged(e); }, event);
  ui::View::resetCursorRectsOfWindow(this);
  if (ui::Responder* next = nextResponder()) next->flagsChanged(event);
}

void IMView::resetCursorRects() {
  ui::View::resetCursorRects();
  if (IMViewResponderDelegate* delegate = redirectResponder_.load()) delegate->resetCursorRects();
}
