// A store of the first test model migrated into the second through the
// inferred mapping, read back with the sqlite3 shell (a text is archived): every object arrives
// with its values and its place in ordered relationships, the source file is
// only read, and a failed migration leaves no destination file behind.
#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <QFile>
#include <QTemporaryDir>

#include "CoreDataFixture.h"
#include "TestSupport.h"
#include "coredata/EntityMigrationPolicy.h"
#include "coredata/MappingModel.h"
#include "coredata/MigrationManager.h"

using cdtest::sqlite;

namespace {

QByteArray digest(const QString& path) {
  QFile file(path);
  file.open(QIODevice::ReadOnly);
  return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256);
}

QString writeFirstVersion(const QTemporaryDir& folder) {
  const QString path = folder.filePath("first.sqlite");
  auto stack = cdtest::openStack(path);
  cd::ManagedObject* root = stack->insert("ComposedImage");
  root->setValue("poster", "name");
  cd::ObjectList layers;
  for (const char* name : {"C", "A", "B"}) {
    cd::ManagedObject* layer = stack->insert(QString(name) == "C" ? "TextLayer" : "Layer");
    layer->setValue(name, "name");
    layer->setValue(0.25, "opacity");
    if (QString(name) == "C") layer->setValue("caption", "text");
    layers.append(layer);
  }
  root->setValue(QVariant::fromValue(layers), "layers");
  EXPECT_TRUE(stack->context->save());
  return path;
}

class FailingPolicy : public cd::EntityMigrationPolicy {
  bool createRelationshipsForDestinationInstance(cd::ManagedObject*, const cd::EntityMapping&,
                                                 cd::MigrationManager&,
                                                 fnd::Error* error) override {
    return fnd::fail(error, fnd::CocoaErrorDomain, fnd::EntityMigrationPolicyError, "planted");
  }
};

}  // namespace

TEST(MigrationManager, CarriesEveryObjectIntoTheNewVersionAndOnlyReadsTheSource) {
  ASSERT_TRUE(tst::haveTool("sqlite3"));
  QTemporaryDir folder;
  const QString source = writeFirstVersion(folder), destination = folder.filePath("second.sqlite");
  const QByteArray before = digest(source);
  fnd::Error error;
  std::optional<cd::MappingModel> mapping = cd::MappingModel::inferredMappingModel(
      *cdtest::documentModel(), *cdtest::documentModelV2(), &error);
  ASSERT_TRUE(mapping);
  cd::MigrationManager manager(cdtest::documentModel(), cdtest::documentModelV2());
  ASSERT_TRUE(manager.migrateStoreFromURL(QUrl::fromLocalFile(source), cd::SQLiteStoreType, {},
                                          *mapping, QUrl::fromLocalFile(destination),
                                          cd::SQLiteStoreType, {}, &error))
      << error.localizedDescription().toStdString();
  EXPECT_EQ(digest(source), before);
  EXPECT_EQ(sqlite(destination, "SELECT ZNAME FROM ZCOMPOSEDIMAGE"), "poster");
  EXPECT_EQ(
      sqlite(destination,
             "SELECT ZNAME, ZOPACITY, Z_FOK_COMPOSEDIMAGE, instr(ZTEXT, 'caption') > 0 FROM ZLAYER "
             "ORDER BY Z_FOK_COMPOSEDIMAGE")
          .split('\n'),
      (QStringList{"C|0.25|0|1", "A|0.25|1|", "B|0.25|2|"}));
  fnd::Error metadataError;
  EXPECT_TRUE(cdtest::documentModelV2()->isConfigurationCompatibleWithStoreMetadata(
      cd::PersistentStoreCoordinator::metadataForPersistentStoreOfType(
          cd::SQLiteStoreType, QUrl::fromLocalFile(destination), &metadataError)));

  // Into a file that exists, or with a policy that fails: refused, and the
  // destination is as it was (absent, or the earlier result).
  const QByteArray result = digest(destination);
  EXPECT_FALSE(manager.migrateStoreFromURL(QUrl::fromLocalFile(source), cd::SQLiteStoreType, {},
                                           *mapping, QUrl::fromLocalFile(destination),
                                           cd::SQLiteStoreType, {}, &error));
  EXPECT_EQ(error.code(), fnd::MigrationManagerDestinationStoreError);
  EXPECT_EQ(digest(destination), result);
  cd::EntityMigrationPolicy::registerPolicy<FailingPolicy>("FailingPolicy");
  mapping->entityMappings.last().entityMigrationPolicyClassName = "FailingPolicy";
  const QString failed = folder.filePath("failed.sqlite");
  EXPECT_FALSE(manager.migrateStoreFromURL(QUrl::fromLocalFile(source), cd::SQLiteStoreType, {},
                                           *mapping, QUrl::fromLocalFile(failed),
                                           cd::SQLiteStoreType, {}, &error));
  EXPECT_EQ(error.code(), fnd::EntityMigrationPolicyError);
  EXPECT_FALSE(QFile::exists(failed));
}

// Opening with automatic migration and an inferred mapping brings a store of
// a registered bundle's older version up to date in place; without those
// options the store is refused and left alone.
TEST(MigrationManager, StoresMigrateAutomaticallyWhenTheOptionsAskForIt) {
  QTemporaryDir folder;
  const QString path = writeFirstVersion(folder);
  const QByteArray before = digest(path);
  cd::ManagedObjectModel::registerBundle(":/models");
  fnd::Error error;
  EXPECT_FALSE(cdtest::openStack(path, &error, {}, cdtest::documentModelV2()));
  EXPECT_EQ(error.code(), fnd::PersistentStoreIncompatibleVersionHashError);
  EXPECT_EQ(digest(path), before);

  const QVariantMap automatic{{cd::MigratePersistentStoresAutomaticallyOption, true},
                              {cd::InferMappingModelAutomaticallyOption, true}};
  auto stack = cdtest::openStack(path, &error, automatic, cdtest::documentModelV2());
  ASSERT_TRUE(stack) << error.localizedDescription().toStdString();
  const cd::ObjectList roots = stack->fetch("ComposedImage");
  ASSERT_EQ(roots.size(), 1);
  EXPECT_EQ(cdtest::namesOf(roots.first()->relatedObjects("layers")), QStringList({"C", "A", "B"}));
  EXPECT_FALSE(QFile::exists(path + ".migrating"));
}
