#include "model/Filter.h"

#include "coredata/ManagedObjectContext.h"
#include "model/FilterParameter.h"
#include "model/Layer.h"

Layer* Filter::layer() const { return dynamic_cast<Layer*>(relatedObject("layer")); }

QList<FilterParameter*> Filter::filterParametersArray() const {
  if (willBeThrownAway()) return {};
  return relatedObjectsOfClass<FilterParameter>("filterParameters");
}

void Filter::setFilterParametersArray(const QList<FilterParameter*>& parameters) {
  cd::ObjectList objects;
  for (FilterParameter* parameter : parameters) objects.append(parameter);
  setValue(QVariant::fromValue(objects), "filterParameters");
}

// ---- Creation ----

QString Filter::displayNameForFilterName(const QString& name) {
  const QString localized = ci::Filter::localizedNameForFilterName(name);
  return localized.isEmpty() || localized == QStringLiteral("CI") ? name : localized;
}

Filter* Filter::createFilterWithName(const QString& name, cd::ManagedObjectContext* context) {
  if (!context) return nullptr;
  auto* filter = context->insertNewObject<Filter>(QStringLiteral("Filter"));
  if (!filter) return nullptr;
  filter->setName(name);
  filter->setLocalizedName(displayNameForFilterName(name));
  filter->buildParameters();
  return filter->isDeleted() ? nullptr : filter;
}

IMManagedObject* Filter::initWithCoder(const QString& entityName, fnd::KeyedUnarchiver& coder) {
  IMManagedObject* object = IMManagedObject::initWithCoder(entityName, coder);
  auto* filter = dynamic_cast<Filter*>(object);
  if (!filter) return object;
  for (FilterParameter* parameter : filter->filterParametersArray()) {
    parameter->setPrimitiveValue(QVariant::fromValue<cd::ManagedObject*>(filter), "filter");
    parameter->updatedCIFilterParameter();
  }
  return filter;
}

// ---- The Core Image filter and the parameters ----

ci::FilterPtr Filter::ciFilter() {
  if (!ciFilter_) {
    ciFilter_ = ci::Filter::filterWithName(name());
    if (ciFilter_) ciFilter_->setName(name());
  }
  return ciFilter_;
}

void Filter::buildParameters() {
  const QList<FilterParameter*> existing = filterParametersArray();
  for (auto it = existing.rbegin(); it != existing.rend(); ++it) {
    removeFilterParameteObject(*it);
    if (cd::ManagedObjectContext* context = managedObjectContext()) context->deleteObject(*it);
  }
  ci::FilterPtr filter = ciFilter();
  if (!filter) return;
  const QStringList keys = filter->inputKeys();
  const QVariantMap attributes = filter->attributes();
  // Each new parameter overwrites the flag: the last one built decides.
  bool valid = true;
  for (const QString& key : keys) {
    if (key == ci::kCIInputImageKey) continue;
    if (attributes.value(key).typeId() != QMetaType::QVariantMap) continue;
    FilterParameter* parameter =
        FilterParameter::filterParameterWithName(key, this, filter, managedObjectContext());
    if (parameter) valid = parameter->isValid();
  }
  if (keys.isEmpty() || valid)
    applyFilter();
  else if (cd::ManagedObjectContext* context = managedObjectContext())
    context->deleteObject(this);
}

bool Filter::isReadyForDrawing() {
  for (FilterParameter* parameter : filterParametersArray())
    if (!parameter->isReady()) return false;
  return true;
}

void Filter::applyFilter(void*) {
  if (willBeThrownAway() || !isReadyForDrawing()) return;
  if (Layer* owner = layer()) owner->filtersChanged();
}

void Filter::addFilterParameter(FilterParameter* parameter) {
  if (!parameter) return;
  const int count = int(relatedObjects("filterParameters").size());
  insertObjects({parameter}, fnd::IndexSet(count), "filterParameters");
}

void Filter::removeFilterParameteObject(FilterParameter* parameter) {
  const int index = int(relatedObjects("filterParameters").indexOf(parameter));
  if (!parameter || index < 0) return;
  removeObjectsAtIndexes(fnd::IndexSet(index), "filterParameters");
}

// ---- Entity hooks ----

void Filter::awakeFromFetch() {
  IMManagedObject::awakeFromFetch();
  setPrimitiveValue(displayNameForFilterName(name()), "localizedName");
  applyFilter();
}

void Filter::didChangeValueForKey(const QString& key) {
  IMManagedObject::didChangeValueForKey(key);
  applyFilter();
}

QVariant Filter::valueForKey(const QString& key) const {
  if (key == "filterParametersArray") {
    QVariantList list;
    for (FilterParameter* parameter : filterParametersArray())
      list.append(QVariant::fromValue<cd::ManagedObject*>(parameter));
    return list;
  }
  return IMManagedObject::valueForKey(key);
}

QSet<QString> Filter::keyPathsForValuesAffectingValueForKey(const QString& key) const {
  if (key == "filterParametersArray") return keyPathsForValuesAffectingFilterParametersArray();
  return IMManagedObject::keyPathsForValuesAffectingValueForKey(key);
}
