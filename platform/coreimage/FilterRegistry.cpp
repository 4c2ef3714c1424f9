#include "coreimage/FilterRegistry.h"

#include "coreimage/filters/FilterFamilies.h"

namespace ci {

FilterRegistry& FilterRegistry::shared() {
  static FilterRegistry* registry = [] {
    auto* r = new FilterRegistry;
    r->registerBuiltIns();
    return r;
  }();
  return *registry;
}

void FilterRegistry::registerBuiltIns() {
  filters::registerGeometryFilters(*this);
  filters::registerCompositeFilters(*this);
  filters::registerBlurFilters(*this);
  filters::registerStylizeFilters(*this);
  filters::registerGeneratorFilters(*this);
  filters::registerGradientFilters(*this);
  filters::registerColorAdjustmentFilters(*this);
  filters::registerColorEffectFilters(*this);
  filters::registerDistortionFilters(*this);
  filters::registerSharpenFilters(*this);
  filters::registerReductionFilters(*this);
  filters::registerHalftoneFilters(*this);
  filters::registerTileFilters(*this);
  filters::registerTransitionFilters(*this);
}

void FilterRegistry::registerFilterName(const QString& name, FilterConstructor constructor,
                                        const QVariantMap& classAttributes) {
  QVariantMap attributes = classAttributes;
  attributes.insert(kCIAttributeFilterName, name);
  if (!attributes.contains(kCIAttributeFilterDisplayName))
    attributes.insert(kCIAttributeFilterDisplayName, displayNameFromFilterName(name));
  QMutexLocker lock(&mutex_);
  entries_.insert(name, Entry{std::move(constructor), attributes});
}

FilterPtr FilterRegistry::makeFilter(const QString& name) const {
  Entry entry;
  {
    QMutexLocker lock(&mutex_);
    auto it = entries_.find(name);
    if (it == entries_.end()) return nullptr;
    entry = it.value();
  }
  FilterPtr filter = entry.constructor ? entry.constructor(name) : nullptr;
  if (!filter) return nullptr;
  filter->name_ = name;
  for (auto it = entry.classAttributes.begin(); it != entry.classAttributes.end(); ++it)
    if (!filter->classAttributes_.contains(it.key()))
      filter->classAttributes_.insert(it.key(), it.value());
  filter->setDefaults();
  return filter;
}

bool FilterRegistry::contains(const QString& name) const {
  QMutexLocker lock(&mutex_);
  return entries_.contains(name);
}

QStringList FilterRegistry::namesInCategories(const QStringList& categories) const {
  QMutexLocker lock(&mutex_);
  QStringList names;
  for (auto it = entries_.begin(); it != entries_.end(); ++it) {
    const QStringList own =
        it.value().classAttributes.value(kCIAttributeFilterCategories).toStringList();
    if (std::all_of(categories.begin(), categories.end(),
                    [&own](const QString& c) { return own.contains(c); }))
      names << it.key();
  }
  return names;  // QMap keeps them sorted
}

QVariantMap FilterRegistry::classAttributes(const QString& name) const {
  QMutexLocker lock(&mutex_);
  return entries_.value(name).classAttributes;
}

}  // namespace ci
