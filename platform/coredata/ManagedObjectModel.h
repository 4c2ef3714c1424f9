// A managed object model: the entities of one version of the document
// schema. Loaded from JSON model files compiled in as Qt resources (see
// ModelLoader); every entity carries a version hash stores are checked
// against, and the model carries the version identifiers of its files.
#pragma once

#include <QHash>
#include <QStringList>
#include <QVariantMap>
#include <memory>
#include <vector>

#include "coredata/EntityDescription.h"
#include "foundation/Error.h"

namespace cd {

class ManagedObjectModel;
using ManagedObjectModelPtr = std::shared_ptr<ManagedObjectModel>;

class ManagedObjectModel {
 public:
  // Takes the entities with their parents and relationships already
  // resolved; lays out properties and numbers entities by name.
  ManagedObjectModel(std::vector<std::unique_ptr<EntityDescription>> entities,
                     QStringList versionIdentifiers);
  ManagedObjectModel(const ManagedObjectModel&) = delete;
  ManagedObjectModel& operator=(const ManagedObjectModel&) = delete;

  // Every model file (*.json) of a folder, typically a resource folder such
  // as ":/models/Tessaly", merged into one model. Null with an error when a
  // file is unreadable or the files together do not form a valid model.
  static ManagedObjectModelPtr mergedModelFromFolder(const QString& folder,
                                                     fnd::Error* error = nullptr);
  // A bundle is a folder of model versions, one folder each, and a file
  // "VersionInfo.json" ({"currentVersion": "Tessaly"}) naming the current
  // one; mapping models between versions lie in its folder "mappings".
  // The current version's model:
  static ManagedObjectModelPtr mergedModelFromBundle(const QString& bundle,
                                                     fnd::Error* error = nullptr);
  // The version of the bundle that reads a store of `metadata`, or null.
  static ManagedObjectModelPtr mergedModelFromBundle(const QString& bundle,
                                                     const QVariantMap& metadata);
  // Bundles whose versions stores opened with automatic migration may come
  // from. Thread-safe.
  static void registerBundle(const QString& bundle);
  static QStringList registeredBundles();
  static ManagedObjectModelPtr modelFromFile(const QString& path, fnd::Error* error = nullptr);

  // Entities sorted by name; entity number i + 1 is entities()[i].
  const QList<EntityDescription*>& entities() const { return entities_; }
  QHash<QString, EntityDescription*> entitiesByName() const { return byName_; }
  EntityDescription* entityNamed(const QString& name) const { return byName_.value(name); }
  EntityDescription* entityWithNumber(int number) const;

  const QStringList& versionIdentifiers() const { return versionIdentifiers_; }
  QHash<QString, QByteArray> entityVersionHashesByName() const;

  // Whether a store written with `metadata` (see StoreMetadata) holds rows
  // this model reads: the same entities with the same version hashes.
  bool isConfigurationCompatibleWithStoreMetadata(const QVariantMap& metadata) const;

 private:
  std::vector<std::unique_ptr<EntityDescription>> owned_;
  QList<EntityDescription*> entities_;
  QHash<QString, EntityDescription*> byName_;
  QStringList versionIdentifiers_;
};

}  // namespace cd
