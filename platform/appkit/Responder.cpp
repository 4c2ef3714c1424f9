#include "appkit/Responder.h"

#include "appkit/UserInterfaceItem.h"
#include "appkit/core/Beep.h"

namespace ui {

Responder::~Responder() = default;

bool Responder::respondsToAction(const QString& action) const { return actions_.contains(action); }

bool Responder::performAction(const QString& action, QObject* sender) {
  auto found = actions_.constFind(action);
  if (found == actions_.constEnd()) return false;
  // A copy: the handler may remove its own action or the responder.
  Action handler = found.value();
  handler(sender);
  return true;
}

bool Responder::tryToPerform(const QString& action, QObject* sender) {
  Responder* target = targetForAction(action);
  return target && target->performAction(action, sender);
}

Responder* Responder::targetForAction(const QString& action) {
  for (Responder* r = this; r; r = r->nextResponder())
    if (r->respondsToAction(action)) return r;
  return nullptr;
}

bool Responder::validateUserInterfaceItem(const UserInterfaceItem&) { return true; }

void Responder::addAction(const QString& action, Action handler) {
  actions_.insert(action, std::move(handler));
}

void Responder::removeAction(const QString& action) { actions_.remove(action); }

// Each event goes to the next responder; a key press nobody wants beeps, as
// a keyboard user expects.
#define TESSALY_PASS_ON(method)          \
  void Responder::method(Event& event) { \
    if (next_) next_->method(event);     \
  }
TESSALY_PASS_ON(mouseDown)
TESSALY_PASS_ON(mouseDragged)
TESSALY_PASS_ON(mouseUp)
TESSALY_PASS_ON(mouseMoved)
TESSALY_PASS_ON(mouseEntered)
TESSALY_PASS_ON(mouseExited)
TESSALY_PASS_ON(rightMouseDown)
TESSALY_PASS_ON(rightMouseDragged)
TESSALY_PASS_ON(rightMouseUp)
TESSALY_PASS_ON(otherMouseDown)
TESSALY_PASS_ON(otherMouseDragged)
TESSALY_PASS_ON(otherMouseUp)
TESSALY_PASS_ON(scrollWheel)
TESSALY_PASS_ON(keyUp)
TESSALY_PASS_ON(flagsChanged)
TESSALY_PASS_ON(tabletPoint)
TESSALY_PASS_ON(tabletProximity)
TESSALY_PASS_ON(magnifyWithEvent)
TESSALY_PASS_ON(rotateWithEvent)
TESSALY_PASS_ON(swipeWithEvent)
TESSALY_PASS_ON(beginGestureWithEvent)
TESSALY_PASS_ON(endGestureWithEvent)
#undef TESSALY_PASS_ON

void Responder::keyDown(Event& event) {
  if (next_)
    next_->keyDown(event);
  else
    beep();
}

}  // namespace ui
