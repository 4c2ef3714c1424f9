#include "coredata/ManagedObjectModel.h"

#include <QDir>

#include "coredata/ModelLoader.h"
#include "coredata/StoreMetadata.h"

namespace cd {

namespace {

int depth(const EntityDescription* entity) {
  int level = 0;
  for (; entity->superentity(); entity = entity->superentity()) ++level;
  return level;
}

}  // namespace

ManagedObjectModel::ManagedObjectModel(std::vector<std::unique_ptr<EntityDescription>> entities,
                                       QStringList versionIdentifiers)
    : owned_(std::move(entities)), versionIdentifiers_(std::move(versionIdentifiers)) {
  for (const auto& entity : owned_) entities_.append(entity.get());
  std::sort(entities_.begin(), entities_.end(),
            [](auto* a, auto* b) { return a->name() < b->name(); });
  // Parents lay out their properties before their children copy them.
  QList<EntityDescription*> parentsFirst = entities_;
  std::stable_sort(parentsFirst.begin(), parentsFirst.end(),
                   [](auto* a, auto* b) { return depth(a) < depth(b); });
  for (EntityDescription* entity : parentsFirst)
    entity->finalize(this, int(entities_.indexOf(entity)) + 1);
  for (EntityDescription* entity : entities_) byName_.insert(entity->name(), entity);
}

ManagedObjectModelPtr ManagedObjectModel::mergedModelFromFolder(const QString& folder,
                                                                fnd::Error* error) {
  QDir dir(folder);
  QStringList files = dir.entryList({"*.json"}, QDir::Files, QDir::Name);
  if (files.isEmpty()) {
    fnd::fail(error, fnd::CocoaErrorDomain, fnd::FileReadNoSuchFileError,
              QStringLiteral("No model files in %1.").arg(folder));
    return nullptr;
  }
  ModelLoader loader;
  for (const QString& file : files)
    if (!loader.addFile(dir.filePath(file), error)) return nullptr;
  return loader.build(error);
}

ManagedObjectModelPtr ManagedObjectModel::modelFromFile(const QString& path, fnd::Error* error) {
  ModelLoader loader;
  if (!loader.addFile(path, error)) return nullptr;
  return loader.build(error);
}

EntityDescription* ManagedObjectModel::entityWithNumber(int number) const {
  if (number < 1 || number > entities_.size()) return nullptr;
  return entities_[number - 1];
}

QHash<QString, QByteArray> ManagedObjectModel::entityVersionHashesByName() const {
  QHash<QString, QByteArray> hashes;
  for (EntityDescription* entity : entities_) hashes.insert(entity->name(), entity->versionHash());
  return hashes;
}

bool ManagedObjectModel::isConfigurationCompatibleWithStoreMetadata(
    const QVariantMap& metadata) const {
  QVariantMap stored = metadata.value(StoreMetadata::ModelVersionHashesKey).toMap();
  if (stored.size() != entities_.size()) return false;
  for (EntityDescription* entity : entities_) {
    if (stored.value(entity->name()).toByteArray() != entity->versionHash()) return false;
  }
  return true;
}

}  // namespace cd
