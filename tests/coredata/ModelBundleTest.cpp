// A bundle folder of two model versions and their mapping models: the
// version that wrote a store is found by its hashes, the mapping between two
// versions by their identifiers, and a migration through named mappings with
// source predicates and a custom policy sends each object through the
// mappings that take it.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "CoreDataFixture.h"
#include "coredata/EntityMigrationPolicy.h"
#include "coredata/MappingModel.h"
#include "coredata/MigrationManager.h"
#include "coredata/SQLiteDatabase.h"
#include "coredata/SQLiteStatement.h"
#include "coredata/StoreMetadata.h"

namespace {

void writeFile(const QString& path, const QByteArray& bytes) {
  QDir().mkpath(QFileInfo(path).path());
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(bytes);
}

// Versions "V1" and "V2" (current), a mapping model between other versions
// that sorts first, and the one from "1" to "2": visible layers keep their
// values and pass through the recording policy, hidden ones keep only their
// name.
QString writeBundle(const QTemporaryDir& folder) {
  const QString bundle = folder.filePath("bundle");
  for (const char* file : {"Document.json", "Resources.json"}) {
    QFile v1(QStringLiteral(":/models/Document/") + file);
    QFile v2(QStringLiteral(":/models/DocumentV2/") + file);
    v1.open(QIODevice::ReadOnly);
    v2.open(QIODevice::ReadOnly);
    writeFile(bundle + "/V1/" + file, v1.readAll());
    writeFile(bundle + "/V2/" + file, v2.readAll());
  }
  writeFile(bundle + "/VersionInfo.json", R"({"currentVersion": "V2"})");
  writeFile(bundle + "/mappings/A-other.json",
            R"({"sourceVersion": "7", "destinationVersion": "2", "entityMappings": []})");
  writeFile(bundle + "/mappings/V1ToV2.json", R"({"sourceVersion": "1", "destinationVersion": "2",
    "entityMappings": [
      {"name": "PosterToPoster", "source": "ComposedImage", "destination": "ComposedImage"},
      {"name": "ShownLayers", "source": "Layer", "destination": "Layer",
       "policy": "RecordingPolicy", "sourcePredicate": {"key": "visible", "equals": true}},
      {"name": "HiddenLayers", "source": "Layer", "destination": "Layer",
       "sourcePredicate": {"key": "visible", "equals": false},
       "attributes": [{"name": "name"}, {"name": "visible"}],
       "relationships": [{"name": "composedImage"}]}]})");
  return bundle;
}

// Layers A (shown), B (hidden), C (shown), all at opacity 0.25.
QString writeStore(const QTemporaryDir& folder) {
  const QString path = folder.filePath("first.sqlite");
  auto stack = cdtest::openStack(path);
  cd::ManagedObject* root = stack->insert("ComposedImage");
  cd::ObjectList layers;
  for (const char* name : {"A", "B", "C"}) {
    cd::ManagedObject* layer = stack->insert("Layer");
    layer->setValue(name, "name");
    layer->setValue(0.25, "opacity");
    layer->setValue(QString(name) != "B", "visible");
    layers.append(layer);
  }
  root->setValue(QVariant::fromValue(layers), "layers");
  EXPECT_TRUE(stack->context->save());
  return path;
}

QVariantMap metadataOf(const QString& path) {
  return cd::PersistentStoreCoordinator::metadataForPersistentStoreOfType(
      cd::SQLiteStoreType, QUrl::fromLocalFile(path), nullptr);
}

// Puts other hashes into the file's metadata row, as if another build of
// the same model had written it.
void plantHashes(const QString& path, const QVariantMap& hashes) {
  QVariantMap metadata = metadataOf(path);
  metadata.insert(cd::StoreMetadata::ModelVersionHashesKey, hashes);
  cd::SQLiteDatabase db;
  ASSERT_TRUE(db.open(path, false, false, nullptr));
  cd::SQLiteStatement write(db, "UPDATE Z_METADATA SET Z_PLIST = ? WHERE Z_VERSION = 1");
  write.bind(1, cd::StoreMetadata::encode(metadata, nullptr));
  ASSERT_EQ(write.step(), cd::SQLiteStatement::Done);
}

// What the policy saw of each destination layer as its relationships were
// made: "destination<-sources (hidden destinations of those sources)".
QStringList& recorded() {
  static QStringList lines;
  return lines;
}

class RecordingPolicy : public cd::EntityMigrationPolicy {
  bool createRelationshipsForDestinationInstance(cd::ManagedObject* destination,
                                                 const cd::EntityMapping& mapping,
                                                 cd::MigrationManager& manager,
                                                 fnd::Error* error) override {
    if (!EntityMigrationPolicy::createRelationshipsForDestinationInstance(destination, mapping,
                                                                          manager, error))
      return false;
    const cd::ObjectList sources =
        manager.sourceInstancesForEntityMappingNamed(mapping.name, {destination});
    recorded() << QStringLiteral("%1<-%2 (%3)")
                      .arg(destination->valueForKey("name").toString(),
                           cdtest::namesOf(sources).join(","))
                      .arg(manager.destinationInstancesForEntityMappingNamed("HiddenLayers", sources)
                               .size());
    return true;
  }
};

}  // namespace

TEST(ModelBundle, FindsVersionsAndMappingAndMigratesThroughNamedMappings) {
  QTemporaryDir folder;
  const QString bundle = writeBundle(folder), source = writeStore(folder);
  const QString destination = folder.filePath("second.sqlite");

  cd::ManagedObjectModelPtr current = cd::ManagedObjectModel::mergedModelFromBundle(bundle);
  ASSERT_TRUE(current);
  EXPECT_EQ(current->versionIdentifiers(), QStringList{"2"});
  cd::ManagedObjectModelPtr first =
      cd::ManagedObjectModel::mergedModelFromBundle(bundle, metadataOf(source));
  ASSERT_TRUE(first);
  EXPECT_EQ(first->versionIdentifiers(), QStringList{"1"});
  EXPECT_FALSE(cd::MappingModel::mappingModelFromBundle(bundle, *current, *first));

  std::optional<cd::MappingModel> mapping =
      cd::MappingModel::mappingModelFromBundle(bundle, *first, *current);
  ASSERT_TRUE(mapping);
  ASSERT_EQ(mapping->entityMappings.size(), 3);
  const cd::EntityMapping* hidden = mapping->mappingNamed("HiddenLayers");
  ASSERT_TRUE(hidden);
  EXPECT_FALSE(hidden->mapsSameNamedAttributes);
  EXPECT_EQ(mapping->mappingNamed("ShownLayers")->entityMigrationPolicyClassName,
            "RecordingPolicy");

  cd::EntityMigrationPolicy::registerPolicy<RecordingPolicy>("RecordingPolicy");
  recorded().clear();
  cd::MigrationManager manager(first, current);
  fnd::Error error;
  ASSERT_TRUE(manager.migrateStoreFromURL(QUrl::fromLocalFile(source), cd::SQLiteStoreType, {},
                                          *mapping, QUrl::fromLocalFile(destination),
                                          cd::SQLiteStoreType, {}, &error))
      << error.localizedDescription().toStdString();
  EXPECT_EQ(recorded(), QStringList({"A<-A (0)", "C<-C (0)"}));
  // Each layer went through the one mapping whose predicate takes it: the
  // hidden one lost the opacity its mapping does not list.
  EXPECT_EQ(cdtest::sqlite(destination,
                           "SELECT ZNAME, ZOPACITY, ZVISIBLE, Z_FOK_COMPOSEDIMAGE FROM ZLAYER "
                           "ORDER BY Z_FOK_COMPOSEDIMAGE")
                .split('\n'),
            (QStringList{"A|0.25|1|0", "B|1.0|0|1", "C|0.25|1|2"}));

  // A mapping file that is not one is refused with a reason.
  writeFile(folder.filePath("bad.json"),
            R"({"entityMappings": [{"name": "X", "kind": "reshape"}]})");
  error = {};
  EXPECT_FALSE(cd::MappingModel::mappingModelFromFile(folder.filePath("bad.json"), &error));
  EXPECT_EQ(error.code(), fnd::FileReadCorruptFileError);
}

// Hashes that no model has: no version of the bundle claims the store, and
// it opens only when the caller asks that versioning be ignored.
TEST(ModelBundle, StoreOfUnknownHashesOpensOnlyWhenVersioningIsIgnored) {
  QTemporaryDir folder;
  const QString bundle = writeBundle(folder), path = writeStore(folder);
  QVariantMap hashes = metadataOf(path).value(cd::StoreMetadata::ModelVersionHashesKey).toMap();
  for (auto entry = hashes.begin(); entry != hashes.end(); ++entry)
    entry.value() = QByteArray(32, 'u');
  plantHashes(path, hashes);
  EXPECT_FALSE(cd::ManagedObjectModel::mergedModelFromBundle(bundle, metadataOf(path)));

  fnd::Error error;
  EXPECT_FALSE(cdtest::openStack(path, &error));
  EXPECT_EQ(error.code(), fnd::PersistentStoreIncompatibleVersionHashError);
  auto stack =
      cdtest::openStack(path, &error, {{cd::IgnorePersistentStoreVersioningOption, true}});
  ASSERT_TRUE(stack) << error.localizedDescription().toStdString();
  const cd::ObjectList roots = stack->fetch("ComposedImage");
  ASSERT_EQ(roots.size(), 1);
  EXPECT_EQ(cdtest::namesOf(roots.first()->relatedObjects("layers")),
            QStringList({"A", "B", "C"}));
}
