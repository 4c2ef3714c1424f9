// Key-value observation for any class that inherits Observable: handlers
// registered for a key are told about each change bracketed by will/did
// calls, with old and new values, index sets for ordered to-many changes and
// dependent keys. Own code; an Observable is used from one thread at a time.
#pragma once

#include <QSet>
#include <QString>
#include <QVariant>
#include <functional>
#include <memory>

#include "foundation/IndexSet.h"

namespace fnd {

enum class KeyValueChangeKind { Setting = 1, Insertion = 2, Removal = 3, Replacement = 4 };

enum ObservingOptions {
  ObservingNew = 1,
  ObservingOld = 2,
  ObservingInitial = 4,
  ObservingPrior = 8
};

// oldValue / newValue are filled only when the observer asked for them
// (ObservingOld / ObservingNew). For insertion, removal and replacement they
// are QVariantLists of the elements at `indexes`.
struct KeyValueChange {
  KeyValueChangeKind kind = KeyValueChangeKind::Setting;
  QVariant oldValue, newValue;
  IndexSet indexes;
  bool isPrior = false;
};

class Observable {
 public:
  using ObserverToken = quint64;  // 0 never names an observer
  using Handler =
      std::function<void(Observable* object, const QString& key, const KeyValueChange& change)>;

  Observable();
  virtual ~Observable();
  // Observers belong to an object, not to its value: copies start unobserved
  // and assignment keeps the target's own observers.
  Observable(const Observable&);
  Observable& operator=(const Observable&);

  // `options` is a combination of ObservingOptions. With ObservingInitial the
  // handler runs once before this returns, with the current value as new.
  ObserverToken addObserver(const QString& key, int options, Handler handler,
                            const void* observer = nullptr);
  // Removing is safe inside a handler; a removed handler is not called again,
  // even for the notification being delivered.
  void removeObserver(ObserverToken token);
  // An empty key removes every registration of `observer`.
  void removeObserver(const void* observer, const QString& key = {});

  // What observers see as old and new values. The default knows no keys.
  virtual QVariant valueForKey(const QString& key) const;
  // Sets a value by key, as bindings write a control's value back. The
  // default knows no keys and ignores the value.
  virtual void setValueForKey(const QString& key, const QVariant& value);

  // Calls pair and may nest per key: the old value is taken at the outermost
  // will, and observers are told once, at the matching outermost did.
  // Virtual so a subclass can hook every change (dirty tracking, undo); an
  // override must call the base version.
  virtual void willChangeValueForKey(const QString& key);
  virtual void didChangeValueForKey(const QString& key);
  // Ordered to-many changes; valueForKey(key) must answer a list.
  virtual void willChange(KeyValueChangeKind kind, const IndexSet& indexes, const QString& key);
  virtual void didChange(KeyValueChangeKind kind, const IndexSet& indexes, const QString& key);

  // Keys of this object whose changes also change `key` (observers of `key`
  // are told as a plain setting). Followed transitively; default empty.
  virtual QSet<QString> keyPathsForValuesAffectingValueForKey(const QString& key) const;

  bool hasObservers(const QString& key) const;

 private:
  struct State;
  void beginChange(const QString& key, KeyValueChangeKind kind, const IndexSet& indexes);
  void endChange(const QString& key);
  std::shared_ptr<State> state_;  // created on first observer
};

}  // namespace fnd
