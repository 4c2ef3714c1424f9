#include "foundation/ValueTransformer.h"

#include <QHash>
#include <mutex>

#include "foundation/StandardValueTransformers.h"

namespace fnd {

namespace {
std::mutex gMutex;
QHash<QString, std::shared_ptr<ValueTransformer>>& registry() {
  static QHash<QString, std::shared_ptr<ValueTransformer>> transformers = [] {
    QHash<QString, std::shared_ptr<ValueTransformer>> standard;
    addStandardValueTransformers(standard);
    return standard;
  }();
  return transformers;
}
}  // namespace

void ValueTransformer::setValueTransformer(std::shared_ptr<ValueTransformer> transformer,
                                           const QString& name) {
  std::lock_guard<std::mutex> lock(gMutex);
  if (transformer)
    registry().insert(name, std::move(transformer));
  else
    registry().remove(name);
}

std::shared_ptr<ValueTransformer> ValueTransformer::valueTransformerForName(const QString& name) {
  std::lock_guard<std::mutex> lock(gMutex);
  return registry().value(name);
}

}  // namespace fnd
