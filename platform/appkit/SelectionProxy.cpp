#include "appkit/SelectionProxy.h"

#include "appkit/SelectionMarker.h"

namespace ui {

SelectionProxy::SelectionProxy(Source selectedObjects)
    : selectedObjects_(std::move(selectedObjects)) {}

SelectionProxy::~SelectionProxy() { forgetObservations(); }

QVariant SelectionProxy::valueForKey(const QString& key) const {
  follow(key);
  const QList<fnd::Observable*> objects = selectedObjects_();
  if (objects.isEmpty()) return selectionMarker(SelectionMarker::NoSelection);
  const QVariant first = objects.first()->valueForKey(key);
  for (qsizetype i = 1; i < objects.size(); ++i) {
    if (objects[i]->valueForKey(key) != first)
      return selectionMarker(SelectionMarker::MultipleValues);
  }
  return first;
}

void SelectionProxy::setValueForKey(const QString& key, const QVariant& value) {
  for (fnd::Observable* object : selectedObjects_()) object->setValueForKey(key, value);
}

void SelectionProxy::selectionDidChange() {
  forgetObservations();
  const QList<fnd::Observable*> objects = selectedObjects_();
  for (const QString& key : std::as_const(followedKeys_)) {
    for (fnd::Observable* object : objects) observe(object, key);
  }
}

void SelectionProxy::follow(const QString& key) const {
  if (followedKeys_.contains(key)) return;
  followedKeys_.insert(key);
  for (fnd::Observable* object : selectedObjects_()) observe(object, key);
}

// A change of a selected object's key is a change of the proxy's key: the
// prior notice opens it, the final one closes it.
void SelectionProxy::observe(fnd::Observable* object, const QString& key) const {
  auto* self = const_cast<SelectionProxy*>(this);
  const auto token = object->addObserver(
      key, fnd::ObservingPrior,
      [self](fnd::Observable*, const QString& changed, const fnd::KeyValueChange& change) {
        if (change.isPrior)
          self->willChangeValueForKey(changed);
        else
          self->didChangeValueForKey(changed);
      },
      this);
  registrations_.append({object, token});
}

void SelectionProxy::forgetObservations() const {
  for (const Registration& registration : std::as_const(registrations_))
    registration.object->removeObserver(registration.token);
  registrations_.clear();
}

}  // namespace ui
