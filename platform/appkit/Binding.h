// A binding: a value on screen (a control's property, or an exposed binding
// of an object such as a filter parameter's "point") tied to a key path of a
// controller. The controller's value, through the value transformer, goes
// to the target whenever any link of the path changes; the target's edits go
// back through the reverse transformation. Selection markers become the
// placeholders of the options, and disable the control while nothing is
// selected.
#pragma once

#include <QString>
#include <QVariant>
#include <functional>
#include <memory>

#include "appkit/SelectionMarker.h"

class QObject;

namespace fnd {
class Observable;
class ValueTransformer;
}  // namespace fnd

namespace ui {

class KeyPathObserver;

class Binding {
 public:
  struct Options {
    // A transformer registered under this name (fnd::ValueTransformer),
    // looked up when the binding is made.
    QString valueTransformerName;
    std::shared_ptr<fnd::ValueTransformer> valueTransformer;  // wins over the name
    QVariant noSelectionPlaceholder;
    QVariant multipleValuesPlaceholder;
    QVariant notApplicablePlaceholder;
    QVariant nullPlaceholder;
  };
  // `enabled` is false while nothing is selected or the key does not apply.
  using Setter = std::function<void(const QVariant& value, bool enabled)>;

  // `set` receives the shown value now and after each change.
  Binding(fnd::Observable* controller, const QString& keyPath, Setter set, Options options = {});
  ~Binding();
  Binding(const Binding&) = delete;
  Binding& operator=(const Binding&) = delete;

  // The value the target shows: transformed, markers replaced.
  QVariant value() const;
  // The path's raw value, markers included.
  QVariant modelValue() const;
  // The target was edited: writes the value back along the path.
  void setValue(const QVariant& value);

  fnd::Observable* controller() const { return controller_; }
  QString keyPath() const { return keyPath_; }

  // A Qt property of `object` (its user property when `property` is null)
  // follows the path; the property's change signal writes back.
  static std::unique_ptr<Binding> bindProperty(QObject* object, const char* property,
                                               fnd::Observable* controller, const QString& keyPath,
                                               Options options = {});
  // A key of an observable object (an exposed binding) follows the path.
  static std::unique_ptr<Binding> bindKey(fnd::Observable* object, const QString& key,
                                          fnd::Observable* controller, const QString& keyPath,
                                          Options options = {});

 private:
  void update();

  fnd::Observable* controller_;
  QString keyPath_;
  Setter set_;
  Options options_;
  std::unique_ptr<KeyPathObserver> observer_;
  bool writing_ = false;
  std::function<void()> disconnect_;
};

}  // namespace ui
