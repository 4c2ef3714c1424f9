#include "appkit/ToolbarItem.h"

#include "appkit/Application.h"
#include "appkit/Responder.h"

namespace ui {

ToolbarItem::ToolbarItem(const QString& itemIdentifier) : identifier_(itemIdentifier) {
  QObject::connect(&action_q_, &QAction::triggered, [this] { sendAction(); });
}

ToolbarItem::~ToolbarItem() = default;

void ToolbarItem::setLabel(const QString& label) {
  label_ = label;
  action_q_.setText(label);
}

void ToolbarItem::setToolTip(const QString& toolTip) {
  toolTip_ = toolTip;
  action_q_.setToolTip(toolTip);
}

void ToolbarItem::setImage(const QIcon& image) {
  image_ = image;
  action_q_.setIcon(image);
}

void ToolbarItem::setEnabled(bool enabled) {
  enabled_ = enabled;
  action_q_.setEnabled(enabled);
  if (view_) view_->setEnabled(enabled);
}

bool ToolbarItem::sendAction() {
  if (action_.isEmpty()) return false;
  if (Application* application = Application::existingApplication())
    return application->sendAction(action_, target_, &action_q_);
  return target_ && target_->tryToPerform(action_, &action_q_);
}

// Items without an action (a view that handles its own clicks) stay as
// they are.
void ToolbarItem::validate() {
  if (action_.isEmpty()) return;
  Application* application = Application::existingApplication();
  setEnabled(application ? application->validateItem(*this, target_)
                         : target_ && target_->targetForAction(action_));
}

}  // namespace ui
