#include "appkit/KeyValuePath.h"

#include "coredata/ManagedObject.h"

namespace ui {

fnd::Observable* observableFromValue(const QVariant& value) {
  if (value.metaType() == QMetaType::fromType<fnd::Observable*>())
    return value.value<fnd::Observable*>();
  if (value.metaType() == QMetaType::fromType<cd::ManagedObject*>())
    return value.value<cd::ManagedObject*>();
  return nullptr;
}

QVariant valueForKeyPath(const fnd::Observable* object, const QString& keyPath) {
  const QStringList keys = keyPath.split('.');
  QVariant value;
  for (int i = 0; i < keys.size(); ++i) {
    if (!object) return {};
    value = object->valueForKey(keys[i]);
    if (i + 1 < keys.size()) object = observableFromValue(value);
  }
  return value;
}

void setValueForKeyPath(fnd::Observable* object, const QString& keyPath, const QVariant& value) {
  const int dot = keyPath.lastIndexOf('.');
  if (dot >= 0) object = observableFromValue(valueForKeyPath(object, keyPath.left(dot)));
  if (object) object->setValueForKey(keyPath.mid(dot + 1), value);
}

KeyPathObserver::KeyPathObserver(fnd::Observable* root, const QString& keyPath,
                                 std::function<void()> changed)
    : root_(root), keyPath_(keyPath), keys_(keyPath.split('.')), changed_(std::move(changed)) {
  attach(0);
}

KeyPathObserver::~KeyPathObserver() { detach(0); }

void KeyPathObserver::detach(int from) {
  while (objects_.size() > from) {
    objects_.takeLast()->removeObserver(tokens_.takeLast());
  }
}

void KeyPathObserver::attach(int from) {
  detach(from);
  fnd::Observable* object =
      from == 0 ? root_ : observableFromValue(objects_[from - 1]->valueForKey(keys_[from - 1]));
  for (int i = from; i < keys_.size() && object; ++i) {
    const int link = i;
    objects_.append(object);
    tokens_.append(object->addObserver(
        keys_[i], 0, [this, link](fnd::Observable*, const QString&, const fnd::KeyValueChange&) {
          // The objects past a changed link may be others now.
          if (link + 1 < keys_.size()) attach(link + 1);
          if (changed_) changed_();
        }));
    if (i + 1 < keys_.size()) object = observableFromValue(object->valueForKey(keys_[i]));
  }
}

}  // namespace ui
