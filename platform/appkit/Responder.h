// A link of the responder chain. Actions are named by their selector text
// ("copy:") and travel from a responder to its next ones until one handles
// them; events do the same through the virtual event methods, whose defaults
// pass the event on.
#pragma once

#include <QHash>
#include <QString>
#include <functional>

class QObject;

namespace ui {

class Event;
class UserInterfaceItem;

class Responder {
 public:
  using Action = std::function<void(QObject* sender)>;

  Responder() = default;
  virtual ~Responder();
  Responder(const Responder&) = delete;
  Responder& operator=(const Responder&) = delete;

  Responder* nextResponder() const { return next_; }
  void setNextResponder(Responder* next) { next_ = next; }

  // Whether this responder itself handles the action.
  virtual bool respondsToAction(const QString& action) const;
  // Performs the action here when this responder handles it; false otherwise.
  virtual bool performAction(const QString& action, QObject* sender);
  // Performs the action here or at the first next responder that handles it.
  bool tryToPerform(const QString& action, QObject* sender);
  // The responder along the chain from here that handles the action, or null.
  Responder* targetForAction(const QString& action);
  // Asked before a menu opens and when the state the rules read changes.
  virtual bool validateUserInterfaceItem(const UserInterfaceItem& item);

  virtual bool acceptsFirstResponder() const { return false; }
  virtual bool becomeFirstResponder() { return true; }
  virtual bool resignFirstResponder() { return true; }

  virtual void mouseDown(Event& event);
  virtual void mouseDragged(Event& event);
  virtual void mouseUp(Event& event);
  virtual void mouseMoved(Event& event);
  virtual void mouseEntered(Event& event);
  virtual void mouseExited(Event& event);
  virtual void rightMouseDown(Event& event);
  virtual void rightMouseDragged(Event& event);
  virtual void rightMouseUp(Event& event);
  virtual void otherMouseDown(Event& event);
  virtual void otherMouseDragged(Event& event);
  virtual void otherMouseUp(Event& event);
  virtual void scrollWheel(Event& event);
  virtual void keyDown(Event& event);
  virtual void keyUp(Event& event);
  virtual void flagsChanged(Event& event);
  virtual void tabletPoint(Event& event);
  virtual void tabletProximity(Event& event);
  virtual void magnifyWithEvent(Event& event);
  virtual void rotateWithEvent(Event& event);
  virtual void swipeWithEvent(Event& event);
  virtual void beginGestureWithEvent(Event& event);
  virtual void endGestureWithEvent(Event& event);

 protected:
  // Registers an action this responder handles.
  void addAction(const QString& action, Action handler);
  void removeAction(const QString& action);

 private:
  Responder* next_ = nullptr;
  QHash<QString, Action> actions_;
};

}  // namespace ui
