#include "appkit/Binding.h"

#include <QPointer>

#include "appkit/KeyValuePath.h"
#include "appkit/PropertyRelay.h"
#include "foundation/ValueTransformer.h"

namespace ui {

Binding::Binding(fnd::Observable* controller, const QString& keyPath, Setter set, Options options)
    : controller_(controller),
      keyPath_(keyPath),
      set_(std::move(set)),
      options_(std::move(options)) {
  if (!options_.valueTransformer && !options_.valueTransformerName.isEmpty())
    options_.valueTransformer =
        fnd::ValueTransformer::valueTransformerForName(options_.valueTransformerName);
  observer_ = std::make_unique<KeyPathObserver>(controller, keyPath, [this] { update(); });
  update();
}

Binding::~Binding() {
  if (disconnect_) disconnect_();
}

QVariant Binding::modelValue() const { return observer_->value(); }

QVariant Binding::value() const {
  const QVariant raw = modelValue();
  if (isSelectionMarker(raw)) {
    switch (raw.value<SelectionMarker>()) {
      case SelectionMarker::NoSelection:
        return options_.noSelectionPlaceholder;
      case SelectionMarker::MultipleValues:
        return options_.multipleValuesPlaceholder;
      case SelectionMarker::NotApplicable:
        return options_.notApplicablePlaceholder;
    }
  }
  if (!raw.isValid()) return options_.nullPlaceholder;
  return options_.valueTransformer ? options_.valueTransformer->transformedValue(raw) : raw;
}

void Binding::setValue(const QVariant& value) {
  QVariant model = value;
  if (options_.valueTransformer) {
    if (!options_.valueTransformer->allowsReverseTransformation()) return;
    model = options_.valueTransformer->reverseTransformedValue(value);
  }
  writing_ = true;
  setValueForKeyPath(controller_, keyPath_, model);
  writing_ = false;
}

// Writing back changes the path's value too; the target already shows it.
void Binding::update() {
  if (writing_ || !set_) return;
  const QVariant raw = modelValue();
  set_(value(), !isSelectionMarker(raw, SelectionMarker::NoSelection) &&
                    !isSelectionMarker(raw, SelectionMarker::NotApplicable));
}

std::unique_ptr<Binding> Binding::bindProperty(QObject* object, const char* property,
                                               fnd::Observable* controller, const QString& keyPath,
                                               Options options) {
  const QMetaObject* meta = object->metaObject();
  const QMetaProperty target =
      property ? meta->property(meta->indexOfProperty(property)) : meta->userProperty();
  auto* relay = new PropertyRelay(object, target);
  QPointer<PropertyRelay> guard(relay);
  auto binding = std::make_unique<Binding>(
      controller, keyPath,
      [guard](const QVariant& value, bool enabled) {
        if (guard) guard->show(value, enabled);
      },
      std::move(options));
  Binding* self = binding.get();
  relay->edited = [self](const QVariant& value) { self->setValue(value); };
  self->disconnect_ = [guard] { delete guard.data(); };
  return binding;
}

std::unique_ptr<Binding> Binding::bindKey(fnd::Observable* object, const QString& key,
                                          fnd::Observable* controller, const QString& keyPath,
                                          Options options) {
  return std::make_unique<Binding>(
      controller, keyPath,
      [object, key](const QVariant& value, bool) {
        if (value.isValid()) object->setValueForKey(key, value);
      },
      std::move(options));
}

}  // namespace ui
