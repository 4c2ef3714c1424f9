// A toolbar item: an identifier, a label, a visibility priority that decides
// which items stay when the toolbar is short of room, and either a view of
// its own or a button that sends its action (to its target, or along the
// responder chain). Validated like menu items, through the application.
#pragma once

#include <QAction>
#include <QIcon>
#include <QPointer>

#include "appkit/UserInterfaceItem.h"

class QWidget;

namespace ui {

class Responder;

enum ToolbarItemVisibilityPriority {
  ToolbarItemVisibilityPriorityLow = -1000,
  ToolbarItemVisibilityPriorityStandard = 0,
  ToolbarItemVisibilityPriorityHigh = 1000,
  ToolbarItemVisibilityPriorityUser = 2000,
};

class ToolbarItem : public UserInterfaceItem {
 public:
  explicit ToolbarItem(const QString& itemIdentifier);
  ~ToolbarItem() override;
  ToolbarItem(const ToolbarItem&) = delete;
  ToolbarItem& operator=(const ToolbarItem&) = delete;

  QString itemIdentifier() const { return identifier_; }
  QString label() const { return label_; }
  void setLabel(const QString& label);
  QString toolTip() const { return toolTip_; }
  void setToolTip(const QString& toolTip);
  QIcon image() const { return image_; }
  void setImage(const QIcon& image);
  int visibilityPriority() const { return visibilityPriority_; }
  void setVisibilityPriority(int priority) { visibilityPriority_ = priority; }
  // A view shown instead of the button; the item does not own it until the
  // toolbar shows it.
  QWidget* view() const { return view_; }
  void setView(QWidget* view) { view_ = view; }

  QString action() const override { return action_; }
  void setAction(const QString& action) { action_ = action; }
  long tag() const override { return tag_; }
  void setTag(long tag) { tag_ = tag; }
  Responder* target() const { return target_; }
  void setTarget(Responder* target) { target_ = target; }
  bool isEnabled() const { return enabled_; }
  void setEnabled(bool enabled);

  // Sends the action as a click would; false when nobody took it.
  bool sendAction();
  // Asks the application whether the item is enabled now, and applies it.
  void validate();

  // The QAction the toolbar shows for a button item.
  QAction* qAction() { return &action_q_; }

 private:
  QString identifier_, label_, toolTip_, action_;
  QIcon image_;
  int visibilityPriority_ = ToolbarItemVisibilityPriorityStandard;
  QPointer<QWidget> view_;
  long tag_ = 0;
  Responder* target_ = nullptr;
  bool enabled_ = true;
  QAction action_q_;
};

}  // namespace ui
