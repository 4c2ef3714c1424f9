#include "model/ModelVariant.h"

#include <QByteArray>
#include <atomic>

namespace {

ModelVariant::Kind fromEnvironment() {
  return qgetenv("TESSALY_MODEL_VARIANT") == "preview" ? ModelVariant::PreviewGenerator
                                                       : ModelVariant::Application;
}

std::atomic<int>& variant() {
  static std::atomic<int> kind{int(fromEnvironment())};
  return kind;
}

}  // namespace

ModelVariant::Kind ModelVariant::current() { return Kind(variant().load()); }

void ModelVariant::setCurrent(Kind kind) { variant().store(int(kind)); }
