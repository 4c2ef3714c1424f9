// Stores of the first model version, written here through the object store
// with that model, brought up to the current model: order, text, pixels,
// filters and colours carried over; the user's file never damaged when the
// migration cannot succeed.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "TestSupport.h"
#include "coredata/EntityMigrationPolicy.h"
#include "coredata/FetchRequest.h"
#include "coredata/PersistentStoreCoordinator.h"
#include "coredata/SQLiteDatabase.h"
#include "coredata/SQLiteStatement.h"
#include "coredata/StoreMetadata.h"
#include "documents/IMAMigrationHelper.h"
#include "documents/IMDocument.h"
#include "documents/IMDocumentController.h"
#include "documents/LayerMigrationPolicy.h"
#include "foundation/OperationQueue.h"
#include "foundation/PropertyList.h"
#include "graphics/ArchivedColor.h"
#include "model/ComposedImage.h"
#include "model/Filter.h"
#include "model/FilterParameter.h"
#include "model/IMAManagedObjectContext.h"
#include "model/IMImagesUtilities.h"
#include "model/IMManagedObject.h"
#include "model/Image.h"
#include "model/TextLayer.h"
#include "model/TextLayerAttributedStringCoding.h"

namespace {

QByteArray fileBytes(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray layerPixels(int seed) {
  QImage pixels(40, 30, QImage::Format_ARGB32_Premultiplied);
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 40; ++x) pixels.setPixel(x, y, qRgba(x * 6, y * 8, seed * 60, 255));
  return ima_produceImageData(gfx::Image::imageWithCGImage(gfx::CGImage::make(pixels)));
}

cd::ManagedObjectModelPtr firstModel() {
  const QString bundle = IMAMigrationHelper::modelBundle();
  return cd::ManagedObjectModel::mergedModelFromFolder(bundle + "/TessalyV1");
}

// What a test puts into an old store.
struct OldStore {
  int roots = 1;
  bool withLayers = true;
};

cd::ManagedObject* insert(cd::ManagedObjectContext& context, const char* entity,
                          const QVariantMap& values) {
  cd::ManagedObject* object = context.insertNewObjectForEntityForName(entity);
  for (auto value = values.begin(); value != values.end(); ++value)
    object->setValue(value.value(), value.key());
  return object;
}

// Layers "two", "zero", "one" with "index" 2, 0, 1; "one" is a text layer
// and "bad text" a text layer whose data is no archive; "zero" has filters
// of "index" 2, 0, 0 (two ties) with a coloured parameter.
void writeOldStore(const QString& path, const OldStore& content = {}) {
  cd::PersistentStoreCoordinator coordinator(firstModel());
  cd::PersistentStore* store = coordinator.addPersistentStoreWithType(
      cd::SQLiteStoreType, {}, QUrl::fromLocalFile(path), {});
  ASSERT_TRUE(store);
  cd::ManagedObjectContext context;
  context.setPersistentStoreCoordinator(&coordinator);
  for (int r = 0; r < content.roots; ++r) {
    cd::ManagedObject* root = insert(context, "ComposedImage", {{"width", 40}, {"height", 30}});
    if (!content.withLayers) continue;
    cd::ObjectList layers;
    layers << insert(context, "Layer",
                     {{"name", "two"}, {"index", 2}, {"imageData", layerPixels(2)}})
           << insert(context, "Layer",
                     {{"name", "zero"},
                      {"index", 0},
                      {"imageData", layerPixels(0)},
                      {"alpha", 0.5},
                      {"compositingOperation", 14}})
           << insert(context, "Layer",
                     {{"name", "one"},
                      {"index", 1},
                      {"isText", true},
                      {"attributeStringData",
                       archivedDataWithAttributedString(gfx::AttributedString("Hello"))}})
           << insert(context, "Layer",
                     {{"name", "bad text"},
                      {"index", 3},
                      {"isText", true},
                      {"attributeStringData", QByteArray("not an archive")}});
    cd::ObjectList filters;
    filters << insert(context, "Filter", {{"name", "CIColorInvert"}, {"index", 2}})
            << insert(context, "Filter", {{"name", "CIGaussianBlur"}, {"index", 0}})
            << insert(context, "Filter", {{"name", "CISepiaTone"}, {"index", 0}});
    insert(context, "FilterParameter",
           {{"name", "inputColor"},
            {"redValue", 1},
            {"greenValue", 0.5},
            {"blueValue", 0},
            {"alphaValue", 1}})
        ->setValue(QVariant::fromValue(filters[1]), "filter");
    layers[1]->setValue(QVariant::fromValue(filters), "filters");
    root->setValue(QVariant::fromValue(layers), "layers");
  }
  fnd::Error error;
  ASSERT_TRUE(context.save(&error)) << error.localizedDescription().toStdString();
}

// Rewrites the version hashes in the file's own metadata row, as another
// version of the program would have left them.
void plantVersionHashes(const QString& path, const QVariantMap& hashes) {
  cd::SQLiteDatabase db;
  ASSERT_TRUE(db.open(path, false, false, nullptr));
  QVariantMap metadata;
  {
    cd::SQLiteStatement read(db, "SELECT Z_PLIST FROM Z_METADATA WHERE Z_VERSION = 1");
    ASSERT_EQ(read.step(), cd::SQLiteStatement::Row);
    metadata = cd::StoreMetadata::decode(read.columnBlob(0), nullptr);
  }
  metadata.insert(cd::StoreMetadata::ModelVersionHashesKey, hashes);
  cd::SQLiteStatement write(db, "UPDATE Z_METADATA SET Z_PLIST = ? WHERE Z_VERSION = 1");
  write.bind(1, cd::StoreMetadata::encode(metadata, nullptr));
  ASSERT_EQ(write.step(), cd::SQLiteStatement::Done);
}

QVariantMap storeMetadata(const QString& path) {
  return cd::PersistentStoreCoordinator::metadataForPersistentStoreOfType(
      cd::SQLiteStoreType, QUrl::fromLocalFile(path), nullptr);
}

QVariantMap hashesOf(const cd::ManagedObjectModel& model) {
  QVariantMap hashes;
  const QHash<QString, QByteArray> modelHashes = model.entityVersionHashesByName();
  for (auto entry = modelHashes.begin(); entry != modelHashes.end(); ++entry)
    hashes.insert(entry.key(), entry.value());
  return hashes;
}

// A copy of the program's model bundle without its mapping models.
QString bundleWithoutMappings(const QString& folder) {
  const QString from = IMAMigrationHelper::modelBundle();
  QDirIterator files(from, QDir::Files, QDirIterator::Subdirectories);
  while (files.hasNext()) {
    const QString file = files.next();
    const QString relative = QDir(from).relativeFilePath(file);
    if (relative.startsWith("mappings/")) continue;
    QDir().mkpath(QFileInfo(QDir(folder).filePath(relative)).path());
    QFile::copy(file, QDir(folder).filePath(relative));
  }
  return folder;
}

struct OpenedStore {
  explicit OpenedStore(const QString& path) : coordinator(IMManagedObject::managedObjectModel()) {
    fnd::Error error;
    EXPECT_TRUE(coordinator.addPersistentStoreWithType(cd::SQLiteStoreType, {},
                                                       QUrl::fromLocalFile(path), {}, &error))
        << error.localizedDescription().toStdString();
    context.setPersistentStoreCoordinator(&coordinator);
    context.setLoadingAndSavingOperationQueue(&queue);
  }
  ~OpenedStore() {
    tst::spinUntil([&] { return queue.operationCount() == 0 && Image::pendingCacheWrites() == 0; });
    context.setLoadingAndSavingOperationQueue(nullptr);
  }
  ComposedImage* root() {
    const cd::ObjectList roots = context.executeFetchRequest(cd::FetchRequest("ComposedImage"));
    return roots.size() == 1 ? dynamic_cast<ComposedImage*>(roots.first()) : nullptr;
  }
  cd::PersistentStoreCoordinator coordinator;
  fnd::OperationQueue queue;
  IMAManagedObjectContext context;
};

class Migration : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(folder.isValid());
    oldVersions = folder.filePath("Documents/Old Versions");
    IMAMigrationHelper::setOldVersionsFolder(oldVersions);
    QDir().mkpath(folder.filePath("docs"));
    store = folder.filePath("docs/photo.zova");
  }
  void TearDown() override { IMAMigrationHelper::setOldVersionsFolder({}); }
  bool migrate(fnd::Error* error = nullptr) {
    return IMAMigrationHelper::migrateIfNeededURL(QUrl::fromLocalFile(store),
                                                  IMAMigrationHelper::modelBundle(), error);
  }

  QTemporaryDir folder;
  QString oldVersions, store;
};

TEST_F(Migration, CurrentStoreOpensWithoutTouchingAnyFile) {
  {
    OpenedStore current(store);
    current.context.insertNewObject<ComposedImage>("ComposedImage");
    ASSERT_TRUE(current.context.save());
  }
  const QByteArray before = fileBytes(store);
  const QDateTime modified = QFileInfo(store).lastModified();
  fnd::Error error;
  EXPECT_TRUE(migrate(&error)) << error.localizedDescription().toStdString();
  EXPECT_EQ(fileBytes(store), before);
  EXPECT_EQ(QFileInfo(store).lastModified(), modified);
  EXPECT_FALSE(QFileInfo::exists(oldVersions));
  EXPECT_EQ(QDir(folder.filePath("docs")).entryList(QDir::Files), QStringList{"photo.zova"});
}

TEST_F(Migration, OldStoreMigratesWithOrderTextPixelsFiltersAndColours) {
  writeOldStore(store);
  const QByteArray original = fileBytes(store);
  fnd::Error error;
  ASSERT_TRUE(migrate(&error)) << error.localizedDescription().toStdString();

  EXPECT_EQ(fileBytes(oldVersions + "/photo.zova"), original);
  EXPECT_EQ(QDir(oldVersions).entryList(QDir::Files), QStringList{"photo.zova"});
  tst::saveArtifact(store, "migration-migrated.zova");
  tst::saveArtifact(oldVersions + "/photo.zova", "migration-backup-first-version.zova");
  if (tst::haveTool("sqlite3"))
    for (const QString& path : {store, oldVersions + "/photo.zova"}) {
      QString output;
      EXPECT_EQ(tst::runTool("sqlite3", {path, "PRAGMA integrity_check;"}, &output), 0);
      EXPECT_EQ(output.trimmed(), "ok") << path.toStdString();
    }

  OpenedStore opened(store);
  ComposedImage* root = opened.root();
  ASSERT_TRUE(root);
  QStringList names;
  for (Layer* layer : root->layersArray()) names << layer->name();
  ASSERT_EQ(names, QStringList({"zero", "one", "two", "bad text"}));
  const QList<Layer*> layers = root->layersArray();
  auto* text = dynamic_cast<TextLayer*>(layers[1]);
  ASSERT_TRUE(text);
  EXPECT_EQ(text->attributedString().string(), "Hello");
  EXPECT_EQ(text->image(), nullptr);
  auto* badText = dynamic_cast<TextLayer*>(layers[3]);
  ASSERT_TRUE(badText);
  EXPECT_TRUE(badText->attributedString().string().isEmpty());
  EXPECT_FALSE(dynamic_cast<TextLayer*>(layers[0]));
  ASSERT_TRUE(layers[0]->image());
  EXPECT_EQ(layers[0]->image()->imageData(), layerPixels(0));
  EXPECT_EQ(layers[2]->image()->imageData(), layerPixels(2));
  EXPECT_DOUBLE_EQ(layers[0]->valueForKey("alpha").toDouble(), 0.5);
  EXPECT_EQ(layers[0]->valueForKey("compositingOperation").toInt(), 14);

  QStringList filters;
  for (Filter* filter : layers[0]->filtersArray()) filters << filter->name();
  EXPECT_EQ(filters, QStringList({"CIGaussianBlur", "CISepiaTone", "CIColorInvert"}));
  const QList<FilterParameter*> parameters = layers[0]->filtersArray()[0]->filterParametersArray();
  ASSERT_EQ(parameters.size(), 1);
  const QColor color = parameters[0]->color();
  // QColor keeps 16 bits a component.
  EXPECT_NEAR(color.redF(), 1, 1e-4);
  EXPECT_NEAR(color.greenF(), 0.5, 1e-4);
  EXPECT_NEAR(color.blueF(), 0, 1e-4);
  EXPECT_NEAR(color.alphaF(), 1, 1e-4);
}

// A store of the first version's entities whose hashes no model of the
// bundle has: only the "v1Metadata" list names its version.
TEST_F(Migration, StoreKnownOnlyByTheFirstVersionHashesMigrates) {
  QFile list(IMAMigrationHelper::modelBundle() + "/v1Metadata.plist");
  ASSERT_TRUE(list.open(QIODevice::ReadOnly));
  const QVariantMap first = fnd::PropertyList::propertyListWithData(list.readAll()).toMap();
  const QVariantMap hashes = hashesOf(*firstModel());
  EXPECT_EQ(first.value(cd::StoreMetadata::ModelVersionHashesKey).toMap(), hashes);

  QVariantMap unknown;
  for (const QString& entity : hashes.keys()) unknown.insert(entity, QByteArray(32, 'x'));
  writeOldStore(store);
  plantVersionHashes(store, unknown);
  const QVariantMap planted = storeMetadata(store);
  ASSERT_EQ(planted.value(cd::StoreMetadata::ModelVersionHashesKey).toMap(), unknown);
  EXPECT_FALSE(
      cd::ManagedObjectModel::mergedModelFromBundle(IMAMigrationHelper::modelBundle(), planted));

  fnd::Error error;
  ASSERT_TRUE(migrate(&error)) << error.localizedDescription().toStdString();
  OpenedStore opened(store);
  ASSERT_TRUE(opened.root());
  EXPECT_EQ(opened.root()->layersArray().size(), 4);
}

// Stores the program cannot update are refused before anything is copied:
// one written by a newer version (an entity the first version never had),
// and one whose version has no mapping in the bundle.
TEST_F(Migration, StoreThatCannotBeUpdatedIsRefusedAndLeftAlone) {
  struct Case {
    const char* name;
    bool newer;
    int code;
    QString text;
  };
  const Case cases[] = {
      {"newer version", true, fnd::MigrationMissingSourceModelError,
       "The image file was made by an unknown or newer version of Tessaly."},
      {"no mapping", false, fnd::MigrationMissingMappingModelError,
       "The image file was made by a version of Tessaly whose files cannot be updated."}};
  QTemporaryDir bundles;
  const QString withoutMappings = bundleWithoutMappings(bundles.filePath("models"));
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    QFile::remove(store);
    if (test.newer) {
      {
        OpenedStore current(store);
        current.context.insertNewObject<ComposedImage>("ComposedImage");
        ASSERT_TRUE(current.context.save());
      }
      QVariantMap hashes = hashesOf(*IMManagedObject::managedObjectModel());
      hashes.insert("Guide", QByteArray(32, 'g'));
      plantVersionHashes(store, hashes);
    } else {
      writeOldStore(store);
    }
    const QByteArray original = fileBytes(store);
    fnd::Error error;
    EXPECT_FALSE(IMAMigrationHelper::migrateIfNeededURL(
        QUrl::fromLocalFile(store),
        test.newer ? IMAMigrationHelper::modelBundle() : withoutMappings, &error));
    EXPECT_EQ(error.code(), test.code);
    EXPECT_EQ(error.localizedDescription(), test.text);
    EXPECT_EQ(fileBytes(store), original);
    EXPECT_FALSE(QFileInfo::exists(oldVersions));
  }
}

// Equal "index" values, enough of them that an unstable sort would mix
// them, keep the order the old store gives them, for layers and filters.
TEST_F(Migration, EqualIndicesKeepTheSourceOrder) {
  const int count = 40;
  const auto indexOf = [](int n) { return (n * 7) % 3; };
  const auto nameOf = [](int n) { return QStringLiteral("%1").arg(n, 2, 10, QChar('0')); };
  {
    cd::PersistentStoreCoordinator coordinator(firstModel());
    ASSERT_TRUE(coordinator.addPersistentStoreWithType(cd::SQLiteStoreType, {},
                                                       QUrl::fromLocalFile(store), {}));
    cd::ManagedObjectContext context;
    context.setPersistentStoreCoordinator(&coordinator);
    const QByteArray pixels = layerPixels(1);
    cd::ObjectList layers, filters;
    for (int n = 0; n < count; ++n) {
      layers << insert(context, "Layer",
                       {{"name", nameOf(n)}, {"index", indexOf(n)}, {"imageData", pixels}});
      filters << insert(context, "Filter", {{"name", nameOf(n)}, {"index", indexOf(n)}});
    }
    layers[0]->setValue(QVariant::fromValue(filters), "filters");
    insert(context, "ComposedImage", {{"width", 40}, {"height", 30}})
        ->setValue(QVariant::fromValue(layers), "layers");
    ASSERT_TRUE(context.save());
  }
  QStringList expected;
  for (int index = 0; index < 3; ++index)
    for (int n = 0; n < count; ++n)
      if (indexOf(n) == index) expected << nameOf(n);

  fnd::Error error;
  ASSERT_TRUE(migrate(&error)) << error.localizedDescription().toStdString();
  OpenedStore opened(store);
  ASSERT_TRUE(opened.root());
  QStringList layerNames, filterNames;
  for (Layer* layer : opened.root()->layersArray()) layerNames << layer->name();
  EXPECT_EQ(layerNames.join(' '), expected.join(' '));
  ASSERT_FALSE(opened.root()->layersArray().isEmpty());
  for (Filter* filter : opened.root()->layersArray().first()->filtersArray())
    filterNames << filter->name();
  EXPECT_EQ(filterNames.join(' '), expected.join(' '));
}

// The document controller's road: an older store opens migrated; a store it
// cannot update opens nothing, says why, and stays as it was.
TEST_F(Migration, DocumentControllerOpensAnOlderStoreMigrated) {
  writeOldStore(store);
  IMDocumentController controller;
  fnd::Error error;
  std::unique_ptr<ui::Document> document = controller.makeDocumentWithContentsOfURL(
      QUrl::fromLocalFile(store), IMNativeDocumentType, &error);
  ASSERT_TRUE(document) << error.localizedDescription().toStdString();
  auto* opened = qobject_cast<IMDocument*>(document.get());
  ASSERT_TRUE(opened && opened->composedImage());
  QStringList names;
  for (Layer* layer : opened->composedImage()->layersArray()) names << layer->name();
  EXPECT_EQ(names, QStringList({"zero", "one", "two", "bad text"}));
  EXPECT_TRUE(QFileInfo::exists(oldVersions + "/photo.zova"));
  document.reset();

  store = folder.filePath("docs/newer.zova");
  {
    OpenedStore current(store);
    current.context.insertNewObject<ComposedImage>("ComposedImage");
    ASSERT_TRUE(current.context.save());
  }
  QVariantMap hashes = hashesOf(*IMManagedObject::managedObjectModel());
  hashes.insert("Guide", QByteArray(32, 'g'));
  plantVersionHashes(store, hashes);
  const QByteArray original = fileBytes(store);
  error = {};
  EXPECT_FALSE(controller.makeDocumentWithContentsOfURL(QUrl::fromLocalFile(store),
                                                        IMNativeDocumentType, &error));
  EXPECT_EQ(error.localizedDescription(),
            "The image file was made by an unknown or newer version of Tessaly.");
  EXPECT_EQ(fileBytes(store), original);
  EXPECT_FALSE(QFileInfo::exists(oldVersions + "/newer.zova"));
}

TEST_F(Migration, ReadOnlyStoreIsRefusedWithoutABackup) {
  writeOldStore(store);
  ASSERT_TRUE(QFile::setPermissions(store, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
  fnd::Error error;
  EXPECT_FALSE(migrate(&error));
  EXPECT_EQ(error.domain(), "Tessaly");
  EXPECT_EQ(error.code(), 1);
  EXPECT_EQ(error.localizedDescription(), "The image file is not readable and writable.");
  EXPECT_EQ(error.localizedRecoverySuggestion(),
            "Please give full read write access to it and retry to open it.");
  EXPECT_FALSE(QFileInfo::exists(oldVersions));
}

// Two roots come out of the migration and are refused by the check; a
// policy that always fails makes the migration and its retry fail. Either
// way the user's file is byte for byte what it was, and the backup stays.
TEST_F(Migration, FailedMigrationLeavesTheStoreAsItWas) {
  struct Case {
    const char* name;
    OldStore content;
    bool failingPolicy;
  };
  const Case cases[] = {{"two roots", {.roots = 2, .withLayers = true}, false},
                        {"failing policy", {}, true}};
  class FailingPolicy : public cd::EntityMigrationPolicy {
    bool createDestinationInstancesForSourceInstance(cd::ManagedObject*, const cd::EntityMapping&,
                                                     cd::MigrationManager&,
                                                     fnd::Error* error) override {
      return fnd::fail(error, fnd::CocoaErrorDomain, fnd::EntityMigrationPolicyError, "planted");
    }
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    QFile::remove(store);
    QDir(oldVersions).removeRecursively();
    writeOldStore(store, test.content);
    const QByteArray original = fileBytes(store);
    IMAMigrationHelper::modelBundle();
    if (test.failingPolicy)
      cd::EntityMigrationPolicy::registerPolicy<FailingPolicy>("LayerMigrationPolicy");
    fnd::Error error;
    EXPECT_FALSE(migrate(&error));
    cd::EntityMigrationPolicy::registerPolicy<LayerMigrationPolicy>("LayerMigrationPolicy");
    if (test.failingPolicy) {
      EXPECT_EQ(error.code(), fnd::EntityMigrationPolicyError);
    } else {
      EXPECT_EQ(error.domain(), "Tessaly");
      EXPECT_EQ(error.localizedDescription(), "The updated image file is not valid.");
      EXPECT_TRUE(error.underlyingError().localizedDescription().contains("2 images"));
    }
    EXPECT_EQ(fileBytes(store), original);
    EXPECT_TRUE(QFileInfo::exists(oldVersions + "/photo.zova"));
  }
}

TEST_F(Migration, BackupOfAnotherDocumentWithTheSameNameIsKept) {
  writeOldStore(store);
  const QByteArray first = fileBytes(store);
  ASSERT_TRUE(migrate());
  QDir().mkpath(folder.filePath("other"));
  store = folder.filePath("other/photo.zova");
  writeOldStore(store, {.roots = 1, .withLayers = false});
  const QByteArray second = fileBytes(store);
  ASSERT_TRUE(migrate());
  EXPECT_EQ(fileBytes(oldVersions + "/photo.zova"), first);
  EXPECT_EQ(fileBytes(oldVersions + "/photo 2.zova"), second);
  OpenedStore opened(store);
  ASSERT_TRUE(opened.root());
  EXPECT_TRUE(opened.root()->layersArray().isEmpty());
}

// A document on another file system than "Old Versions" (here a memory
// file system) migrates: the result is copied beside the document and
// renamed within its folder, keeps the document's mode (0600 stays 0600),
// and no migrated file or temporary copy stays anywhere. A second try of
// the same file makes no second backup.
TEST_F(Migration, AStoreOnAnotherFileSystemMigratesAndKeepsItsMode) {
  QTemporaryDir elsewhere(QStringLiteral("/dev/shm/tessaly-migration-XXXXXX"));
  struct stat a, b;
  if (!elsewhere.isValid() || ::stat(QFile::encodeName(elsewhere.path()).constData(), &a) != 0 ||
      ::stat(QFile::encodeName(folder.path()).constData(), &b) != 0 || a.st_dev == b.st_dev)
    GTEST_SKIP() << "no second file system";
  store = elsewhere.filePath("photo.zova");
  writeOldStore(store);
  ASSERT_TRUE(QFile::setPermissions(store, QFile::ReadOwner | QFile::WriteOwner));
  const QByteArray original = fileBytes(store);

  fnd::Error error;
  ASSERT_TRUE(migrate(&error)) << error.localizedDescription().toStdString();
  OpenedStore opened(store);
  EXPECT_TRUE(opened.root());
  struct stat info;
  ASSERT_EQ(::stat(QFile::encodeName(store).constData(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0600u);
  EXPECT_EQ(
      QDir(elsewhere.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
      QStringList{"photo.zova"});
  EXPECT_EQ(QDir(oldVersions).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
            QStringList{"photo.zova"});
  EXPECT_EQ(fileBytes(oldVersions + "/photo.zova"), original);

  // The same old file again (say the first try had failed): its backup is
  // the one already there.
  QFile::remove(store);
  ASSERT_TRUE(QFile::copy(oldVersions + "/photo.zova", store));
  ASSERT_TRUE(migrate(&error)) << error.localizedDescription().toStdString();
  EXPECT_EQ(QDir(oldVersions).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
            QStringList{"photo.zova"});
}

}  // namespace
