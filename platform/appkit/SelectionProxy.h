// The "selection" of a controller as one object: reading a key answers the
// selected objects' common value, or a marker when nothing is selected or
// they disagree; writing a key writes it to every selected object. The proxy
// follows the keys it has been asked for on the selected objects, so
// observers of "selection.point" hear when a selected object's point moves.
#pragma once

#include <QHash>
#include <QList>
#include <QSet>
#include <functional>

#include "foundation/Observable.h"

namespace ui {

class SelectionProxy : public fnd::Observable {
 public:
  using Source = std::function<QList<fnd::Observable*>()>;
  explicit SelectionProxy(Source selectedObjects);
  ~SelectionProxy() override;

  QVariant valueForKey(const QString& key) const override;
  void setValueForKey(const QString& key, const QVariant& value) override;

  // The controller calls this after its selection changed, so the keys
  // followed are observed on the new selected objects.
  void selectionDidChange();

 private:
  void follow(const QString& key) const;
  void observe(fnd::Observable* object, const QString& key) const;
  void forgetObservations() const;

  Source selectedObjects_;
  mutable QSet<QString> followedKeys_;
  struct Registration {
    fnd::Observable* object;
    fnd::Observable::ObserverToken token;
  };
  mutable QList<Registration> registrations_;
};

}  // namespace ui
