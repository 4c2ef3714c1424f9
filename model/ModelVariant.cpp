#include "model/ModelVariant.h"

#include <QByteArray>
#include <atomic>

#include "coredata/SQLiteDatabase.h"

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

// The preview generator reads a document once and is done: its layers'
// stored bytes may take large pages, which the program's open must not risk.
void ModelVariant::setCurrent(Kind kind) {
  variant().store(int(kind));
  cd::SQLiteDatabase::setLargePagesForBlobs(kind == PreviewGenerator);
}
