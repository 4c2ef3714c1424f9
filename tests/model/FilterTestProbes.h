// Small filters registered in the real registry by the filter tests, so each
// catalogue rule and each parameter kind can be tried on its own.
#pragma once

#include "coreimage/Filter.h"
#include "coreimage/FilterConstants.h"
#include "coreimage/FilterRegistry.h"

namespace probe {

// Passes its input image through; its inputs are whatever the test lists.
class ProbeFilter : public ci::Filter {
 public:
  ProbeFilter(const QString& name, QList<ci::FilterInput> inputs) : Filter(name, inputs) {}
  ci::Image outputImage() const override { return imageValue(ci::kCIInputImageKey); }
};

inline ci::FilterInput input(const QString& key, const QString& className, const QString& type = {},
                             const QVariant& defaultValue = {}) {
  ci::FilterInput in;
  in.key = key;
  in.className = className;
  in.type = type;
  in.defaultValue = defaultValue;
  return in;
}

inline ci::FilterInput imageInput(const QString& key = ci::kCIInputImageKey) {
  return input(key, ci::kClassCIImage);
}

inline void registerProbe(const QString& name, const QList<ci::FilterInput>& inputs,
                          const QStringList& categories = {ci::kCICategoryStylize,
                                                           ci::kCICategoryBuiltIn},
                          const QString& displayName = {}) {
  QVariantMap attributes{{ci::kCIAttributeFilterCategories, categories}};
  if (!displayName.isEmpty()) attributes.insert(ci::kCIAttributeFilterDisplayName, displayName);
  ci::Filter::registerFilterName(
      name,
      [inputs](const QString& filterName) {
        return std::make_shared<ProbeFilter>(filterName, inputs);
      },
      attributes);
}

}  // namespace probe
