#include "coreimage/Filter.h"

#include <QDebug>

#include "coreimage/FilterRegistry.h"
#include "coreimage/ValueConversion.h"
#include "foundation/Localized.h"

namespace ci {

Filter::Filter(const QString& name, QList<FilterInput> inputs, QVariantMap classAttributes)
    : name_(name), inputs_(std::move(inputs)), classAttributes_(std::move(classAttributes)) {}

FilterPtr Filter::filterWithName(const QString& name) {
  return FilterRegistry::shared().makeFilter(name);
}

FilterPtr Filter::filterWithName(const QString& name, const QVariantMap& inputParameters) {
  FilterPtr filter = filterWithName(name);
  if (!filter) return nullptr;
  for (auto it = inputParameters.begin(); it != inputParameters.end(); ++it)
    filter->setValue(it.value(), it.key());
  return filter;
}

const FilterInput* Filter::input(const QString& key) const {
  for (const FilterInput& in : inputs_)
    if (in.key == key) return &in;
  return nullptr;
}

void Filter::setValue(const QVariant& value, const QString& key) {
  if (!input(key)) {
    qWarning() << "ci::Filter" << name_ << "has no input" << key;
    return;
  }
  if (value.isValid())
    values_.insert(key, value);
  else
    values_.remove(key);
}

QVariant Filter::valueForKey(const QString& key) const {
  if (key == kCIOutputImageKey) {
    const Image output = outputImage();
    return output.isNull() ? QVariant() : QVariant::fromValue(output);
  }
  return values_.value(key);
}

void Filter::setDefaults() {
  for (const FilterInput& in : inputs_) {
    if (in.defaultValue.isValid())
      values_.insert(in.key, in.defaultValue);
    else
      values_.remove(in.key);
  }
}

QStringList Filter::inputKeys() const {
  QStringList keys;
  for (const FilterInput& in : inputs_) keys << in.key;
  return keys;
}

QVariantMap Filter::attributes() const {
  QVariantMap map = classAttributes_;
  map.insert(kCIAttributeFilterName, name_);
  if (!map.contains(kCIAttributeFilterDisplayName))
    map.insert(kCIAttributeFilterDisplayName, displayNameFromFilterName(name_));
  for (const FilterInput& in : inputs_) map.insert(in.key, in.toAttributes());
  return map;
}

QVariant Filter::rawValue(const QString& key) const {
  auto it = values_.find(key);
  if (it != values_.end()) return it.value();
  const FilterInput* in = input(key);
  return in ? in->defaultValue : QVariant();
}

Image Filter::imageValue(const QString& key) const {
  Image image;
  return toImage(rawValue(key), &image) ? image : Image();
}

double Filter::numberValue(const QString& key) const {
  double n = 0;
  if (toNumber(rawValue(key), &n)) return n;
  const FilterInput* in = input(key);
  return in && toNumber(in->defaultValue, &n) ? n : 0.0;
}

Vector Filter::vectorValue(const QString& key) const {
  Vector v;
  if (toVector(rawValue(key), &v)) return v;
  const FilterInput* in = input(key);
  return in && toVector(in->defaultValue, &v) ? v : Vector();
}

Color Filter::colorValue(const QString& key) const {
  Color c;
  if (toColor(rawValue(key), &c)) return c;
  const FilterInput* in = input(key);
  return in && toColor(in->defaultValue, &c) ? c : Color();
}

QTransform Filter::transformValue(const QString& key) const {
  QTransform t;
  if (toTransform(rawValue(key), &t)) return t;
  const FilterInput* in = input(key);
  return in && toTransform(in->defaultValue, &t) ? t : QTransform();
}

QByteArray Filter::dataValue(const QString& key) const { return rawValue(key).toByteArray(); }

QStringList Filter::filterNamesInCategories(const QStringList& categories) {
  return FilterRegistry::shared().namesInCategories(categories);
}

QStringList Filter::filterNamesInCategory(const QString& category) {
  return filterNamesInCategories(category.isEmpty() ? QStringList() : QStringList{category});
}

QString Filter::localizedNameForFilterName(const QString& filterName) {
  const QVariantMap attributes = FilterRegistry::shared().classAttributes(filterName);
  const QString name = attributes.value(kCIAttributeFilterDisplayName).toString();
  return fnd::localized(name.isEmpty() ? displayNameFromFilterName(filterName) : name);
}

QString Filter::localizedDescriptionForFilterName(const QString& filterName) {
  const QVariantMap attributes = FilterRegistry::shared().classAttributes(filterName);
  return fnd::localized(attributes.value(kCIAttributeDescription).toString());
}

QString Filter::localizedNameForCategory(const QString& category) {
  return fnd::localized(displayNameFromKey(
      category.startsWith(QStringLiteral("CICategory")) ? category.mid(10) : category));
}

void Filter::registerFilterName(const QString& name, FilterConstructor constructor,
                                const QVariantMap& classAttributes) {
  FilterRegistry::shared().registerFilterName(name, std::move(constructor), classAttributes);
}

}  // namespace ci
