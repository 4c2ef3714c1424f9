// What the object and array controllers share for bindings: the selection
// proxy ("selection"), the selected objects as observables, and the managed
// object context the controller works in. Observable like the model, so
// bindings and panels follow "selection", "selectedObjects" and the rest.
// The proxy observes the selected objects: a controller goes before the
// objects it shows (before their context), or is emptied first.
#pragma once

#include <QList>
#include <memory>

#include "foundation/Observable.h"

namespace cd {
class ManagedObjectContext;
}

namespace ui {

class SelectionProxy;

class Controller : public fnd::Observable {
 public:
  Controller();
  ~Controller() override;

  SelectionProxy* selection() const { return selection_.get(); }
  virtual QList<fnd::Observable*> selectedObservables() const = 0;

  cd::ManagedObjectContext* managedObjectContext() const { return context_; }
  void setManagedObjectContext(cd::ManagedObjectContext* context) { context_ = context; }

  // "selection" answers the proxy as an fnd::Observable*.
  QVariant valueForKey(const QString& key) const override;

 protected:
  // Subclasses call this inside the will/did bracket of a selection change.
  void selectionDidChange();

 private:
  std::unique_ptr<SelectionProxy> selection_;
  cd::ManagedObjectContext* context_ = nullptr;
};

}  // namespace ui
