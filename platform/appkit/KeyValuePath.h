// Key paths ("selection.point") over observable objects: reading and writing
// along the path, and an observer that follows every link of a path so a
// change anywhere on it (a new selection, a new point) is reported once.
// Objects travel in QVariants as fnd::Observable* or cd::ManagedObject*.
#pragma once

#include <QList>
#include <QString>
#include <QVariant>
#include <functional>

#include "foundation/Observable.h"

namespace ui {

// The object a value holds, or null when it holds none.
fnd::Observable* observableFromValue(const QVariant& value);

QVariant valueForKeyPath(const fnd::Observable* object, const QString& keyPath);
// Sets the last key on the object the rest of the path leads to; nothing
// when a link is missing.
void setValueForKeyPath(fnd::Observable* object, const QString& keyPath, const QVariant& value);

class KeyPathObserver {
 public:
  // `changed` runs after each change of the path's value (not before).
  KeyPathObserver(fnd::Observable* root, const QString& keyPath, std::function<void()> changed);
  ~KeyPathObserver();
  KeyPathObserver(const KeyPathObserver&) = delete;
  KeyPathObserver& operator=(const KeyPathObserver&) = delete;

  QVariant value() const { return valueForKeyPath(root_, keyPath_); }

 private:
  // Observes the links from `from` on, dropping the old registrations there.
  void attach(int from);
  void detach(int from);

  fnd::Observable* root_;
  QString keyPath_;
  QStringList keys_;
  std::function<void()> changed_;
  QList<fnd::Observable*> objects_;  // the object each key is observed on
  QList<fnd::Observable::ObserverToken> tokens_;
};

}  // namespace ui
