// A menu item: a QAction carrying the action it sends and its tag. Triggering
// it sends the action along the responder chain (or to its target); the
// application enables it through validation before its menu opens.
#pragma once

#include <QAction>

#include "appkit/UserInterfaceItem.h"

namespace ui {

class Responder;

class MenuItem : public QAction, public UserInterfaceItem {
  Q_OBJECT

 public:
  MenuItem(const QString& title, const QString& action, QObject* parent = nullptr, long tag = 0);
  ~MenuItem() override;

  QString action() const override { return action_; }
  void setAction(const QString& action) { action_ = action; }
  long tag() const override { return tag_; }
  void setTag(long tag) { tag_ = tag; }
  // Null: the first responder chain decides.
  Responder* target() const { return target_; }
  void setTarget(Responder* target) { target_ = target; }

  // Every menu item alive, for validation passes.
  static QList<MenuItem*> allItems();

 private:
  QString action_;
  long tag_;
  Responder* target_ = nullptr;
};

}  // namespace ui
