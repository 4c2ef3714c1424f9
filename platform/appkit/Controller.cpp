#include "appkit/Controller.h"

#include "appkit/SelectionProxy.h"

namespace ui {

Controller::Controller()
    : selection_(std::make_unique<SelectionProxy>([this] { return selectedObservables(); })) {}

Controller::~Controller() = default;

QVariant Controller::valueForKey(const QString& key) const {
  if (key == "selection") return QVariant::fromValue<fnd::Observable*>(selection_.get());
  return fnd::Observable::valueForKey(key);
}

void Controller::selectionDidChange() { selection_->selectionDidChange(); }

}  // namespace ui
