#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>

#include "CoreDataFixture.h"
#include "TestSupport.h"
#include "coredata/SQLiteStore.h"
#include "coredata/StoreMetadata.h"

using cdtest::Layer;
using cdtest::openStack;
using cdtest::sqlite;

namespace {

QByteArray patternBytes(int size, int seed) {
  QByteArray bytes(size, Qt::Uninitialized);
  quint32 state = quint32(seed) * 2654435761u + 1;
  for (int i = 0; i < size; ++i) {
    state = state * 1664525u + 1013904223u;
    bytes[i] = char(state >> 24);
  }
  return bytes;
}

QByteArray fileDigest(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {};
  return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256);
}

const QDateTime kWhen(QDate(2023, 11, 14), QTime(22, 13, 20, 123), Qt::UTC);

// A store file with a composed image [C(text) A B], filters on A, an image
// on B and one Every object holding a value of every attribute type.
QString writeDocument(const QString& name, int blobSize = 4 << 20) {
  QString path = tst::tempPath(name);
  auto stack = openStack(path);
  cd::ManagedObject* composed = stack->insert("ComposedImage");
  composed->setValue("poster", "name");
  composed->setValue(kWhen, "created");
  for (QString layerName : {"A", "B"}) {
    auto* layer = stack->context->insertNewObject<Layer>("Layer");
    layer->setName(layerName);
    composed->addObject(layer, "layers");
  }
  auto* text = stack->context->insertNewObject<Layer>("TextLayer");
  text->setName("C");
  text->setValue(QVariantMap{{"string", "Hello"}, {"size", 14.5}}, "text");
  composed->insertObjects({text}, fnd::IndexSet(0), "layers");
  cd::ObjectList layers = composed->relatedObjects("layers");
  for (QString filterName : {"blur", "sharpen"}) {
    cd::ManagedObject* filter = stack->insert("Filter");
    filter->setValue(filterName, "name");
    filter->setValue(QVariant::fromValue(layers[1]), "layer");
  }
  cd::ManagedObject* image = stack->insert("Image");
  image->setValue(patternBytes(1000, 7), "data");
  layers[2]->setValue(QVariant::fromValue(image), "image");

  cd::ManagedObject* every = stack->insert("Every");
  every->setValue(-123, "i16");
  every->setValue(2147483647, "i32");
  every->setValue(qlonglong(1) << 62, "i64");
  every->setValue(0.1f, "f");
  every->setValue(3.141592653589793, "d");
  every->setValue(true, "b");
  every->setValue(QString::fromUtf8("Ünïcødé ✓ 'quoted'"), "s");
  every->setValue(kWhen, "when");
  every->setValue(patternBytes(blobSize, 1), "blob");
  every->setValue(QVariantMap{{"colour", QVariantList{1.0, 0.5, 0.25}}, {"label", "x"}},
                  "archived");
  stack->insert("Every");  // every value nil
  fnd::Error error;
  EXPECT_TRUE(stack->context->save(&error)) << error.localizedDescription().toStdString();
  return path;
}

}  // namespace

TEST(SQLiteStore, EveryAttributeTypeSurvivesSaveAndReopen) {
  QString path = writeDocument("every.sqlite");
  tst::saveArtifact(path, "coredata-every-attribute.sqlite");
  auto stack = openStack(path);
  ASSERT_TRUE(stack);
  cd::FetchRequest request("Every");
  request.setSortDescriptors({cd::SortDescriptor("i16")});
  cd::ObjectList objects = stack->context->executeFetchRequest(request);
  ASSERT_EQ(objects.size(), 2);
  cd::ManagedObject* empty = objects[0];
  cd::ManagedObject* every = objects[1];
  struct Expected {
    const char* key;
    QVariant value;
  };
  const Expected table[] = {
      {"i16", -123},
      {"i32", 2147483647},
      {"i64", qlonglong(1) << 62},
      {"f", 0.1f},
      {"d", 3.141592653589793},
      {"b", true},
      {"s", QString::fromUtf8("Ünïcødé ✓ 'quoted'")},
      {"when", kWhen},
      {"blob", patternBytes(4 << 20, 1)},
      {"archived", QVariantMap{{"colour", QVariantList{1.0, 0.5, 0.25}}, {"label", "x"}}},
      {"note", QString("scratch")},  // transient: the default, never stored
  };
  for (const Expected& row : table) {
    QVariant value = every->valueForKey(row.key);
    EXPECT_EQ(value, row.value) << row.key;
    EXPECT_EQ(value.metaType(), row.value.metaType()) << row.key;
    if (QString(row.key) != "note") {
      EXPECT_FALSE(empty->valueForKey(row.key).isValid()) << row.key;
    }
  }
  EXPECT_FALSE(every->objectID().isTemporaryID());
  EXPECT_FALSE(every->hasChanges());
}

TEST(SQLiteStore, RelationshipsAndEntityClassesSurviveReopen) {
  QString path = writeDocument("graph.sqlite", 10);
  auto stack = openStack(path);
  cd::ObjectList composed = stack->fetch("ComposedImage");
  ASSERT_EQ(composed.size(), 1);
  EXPECT_EQ(composed[0]->valueForKey("created"), QVariant(kWhen));
  cd::ObjectList layers = composed[0]->relatedObjects("layers");
  EXPECT_EQ(cdtest::namesOf(layers), (QStringList{"C", "A", "B"}));
  ASSERT_EQ(layers.size(), 3);
  EXPECT_TRUE(dynamic_cast<cdtest::TextLayer*>(layers[0]));
  EXPECT_EQ(layers[0]->entity()->name(), "TextLayer");
  EXPECT_EQ(layers[0]->valueForKey("text"),
            QVariant(QVariantMap{{"string", "Hello"}, {"size", 14.5}}));
  EXPECT_TRUE(dynamic_cast<Layer*>(layers[1]));
  EXPECT_EQ(layers[1]->relatedObject("composedImage"), composed[0]);
  QStringList filters = cdtest::namesOf(layers[1]->relatedObjects("filters"));
  filters.sort();
  EXPECT_EQ(filters, (QStringList{"blur", "sharpen"}));
  cd::ManagedObject* image = layers[2]->relatedObject("image");
  ASSERT_TRUE(image);
  EXPECT_EQ(image->valueForKey("data").toByteArray(), patternBytes(1000, 7));
  EXPECT_EQ(image->relatedObject("layer"), layers[2]);
  // Fetching a parent entity includes its sub-entities unless told not to.
  EXPECT_EQ(stack->fetch("Layer").size(), 3);
  cd::FetchRequest only("Layer");
  only.setIncludesSubentities(false);
  EXPECT_EQ(stack->context->executeFetchRequest(only).size(), 2);
}

TEST(SQLiteStore, TheFileHasTheDocumentedTablesColumnsAndRows) {
  ASSERT_TRUE(tst::haveTool("sqlite3"));
  QString path = writeDocument("layout.sqlite", 10);
  EXPECT_EQ(
      sqlite(path, "SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY name").split('\n'),
      (QStringList{"ZALBUM", "ZCOMPOSEDIMAGE", "ZEVERY", "ZFILTER", "ZFILTERPARAMETER", "ZIMAGE",
                   "ZLAYER", "ZPHOTO", "Z_METADATA", "Z_PRIMARYKEY"}));
  QStringList layerColumns =
      sqlite(path, "SELECT name FROM pragma_table_info('ZLAYER')").split('\n');
  EXPECT_EQ(layerColumns,
            (QStringList{"Z_PK", "Z_ENT", "Z_OPT", "ZNAME", "ZOPACITY", "ZVISIBLE", "ZCOMPOSITING",
                         "ZCOMPOSEDIMAGE", "Z_FOK_COMPOSEDIMAGE", "ZIMAGE", "ZTEXT", "ZFONTSIZE"}));
  cd::ManagedObjectModelPtr model = cdtest::documentModel();
  QString layerNumber = QString::number(model->entityNamed("Layer")->entityNumber());
  QString textNumber = QString::number(model->entityNamed("TextLayer")->entityNumber());
  EXPECT_EQ(sqlite(path,
                   "SELECT ZNAME, Z_ENT, Z_FOK_COMPOSEDIMAGE, ZCOMPOSEDIMAGE IS NOT NULL "
                   "FROM ZLAYER ORDER BY Z_FOK_COMPOSEDIMAGE")
                .split('\n'),
            (QStringList{"C|" + textNumber + "|0|1", "A|" + layerNumber + "|1|1",
                         "B|" + layerNumber + "|2|1"}));
  EXPECT_EQ(sqlite(path,
                   "SELECT Z_NAME, Z_SUPER, Z_MAX FROM Z_PRIMARYKEY WHERE Z_NAME IN "
                   "('Layer', 'TextLayer') ORDER BY Z_NAME")
                .split('\n'),
            (QStringList{"Layer|0|3", "TextLayer|" + layerNumber + "|0"}));
  EXPECT_EQ(sqlite(path,
                   "SELECT ZFILTER.ZNAME FROM ZFILTER JOIN ZLAYER ON ZFILTER.ZLAYER = "
                   "ZLAYER.Z_PK WHERE ZLAYER.ZNAME = 'A' ORDER BY 1")
                .split('\n'),
            (QStringList{"blur", "sharpen"}));
  EXPECT_EQ(sqlite(path, "SELECT length(ZBLOB), typeof(ZWHEN), ZS FROM ZEVERY WHERE ZI16 = -123"),
            QString::fromUtf8("10|real|Ünïcødé ✓ 'quoted'"));
}

TEST(SQLiteStore, MetadataIsABinaryPlistReadableWithoutAttaching) {
  QString path = tst::tempPath("metadata.sqlite");
  {
    auto stack = openStack(path);
    stack->coordinator->setMetadata({{"IMDocumentVersion", 7}, {"author", "Ada"}}, stack->store);
    stack->insert("Album")->setValue("holiday", "title");
    ASSERT_TRUE(stack->context->save());
  }
  tst::saveArtifact(path, "coredata-metadata.sqlite");
  QByteArray before = fileDigest(path);
  fnd::Error error;
  QVariantMap metadata = cd::PersistentStoreCoordinator::metadataForPersistentStoreOfType(
      cd::SQLiteStoreType, QUrl::fromLocalFile(path), &error);
  EXPECT_TRUE(error.isNull()) << error.localizedDescription().toStdString();
  EXPECT_EQ(metadata.value("IMDocumentVersion").toInt(), 7);
  EXPECT_EQ(metadata.value("author"), QVariant("Ada"));
  EXPECT_EQ(metadata.value(cd::StoreMetadata::StoreTypeKey), QVariant("SQLite"));
  EXPECT_EQ(metadata.value(cd::StoreMetadata::ModelVersionIdentifiersKey).toList(),
            QVariantList{"1"});
  EXPECT_TRUE(cdtest::documentModel()->isConfigurationCompatibleWithStoreMetadata(metadata));
  EXPECT_FALSE(cdtest::documentModelV2()->isConfigurationCompatibleWithStoreMetadata(metadata));
  EXPECT_EQ(fileDigest(path), before);

  // Python's plistlib is the independent reader of the stored plist.
  QString hex = sqlite(path, "SELECT hex(Z_PLIST) FROM Z_METADATA");
  tst::saveArtifactData(QByteArray::fromHex(hex.toLatin1()), "coredata-metadata.plist");
  QString output;
  int status = tst::runTool(
      "python3",
      {"-c",
       "import plistlib,sys\n"
       "d = plistlib.loads(bytes.fromhex(sys.argv[1]))\n"
       "h = d['NSStoreModelVersionHashes']\n"
       "print(d['NSStoreType'], d['author'], d['IMDocumentVersion'], len(h), len(h['Layer']),\n"
       "      d['NSStoreUUID'] == sys.argv[2])",
       hex, sqlite(path, "SELECT Z_UUID FROM Z_METADATA")},
      &output);
  EXPECT_EQ(status, 0) << output.toStdString();
  EXPECT_EQ(output.trimmed(), "SQLite Ada 7 9 32 True");

  // Metadata alone is reason enough to save; the store's own keys stay.
  auto stack = openStack(path);
  QVariantMap changed = stack->coordinator->metadataForPersistentStore(stack->store);
  changed.insert("author", "Grace");
  changed.insert(cd::StoreMetadata::StoreTypeKey, "Forged");
  stack->coordinator->setMetadata(changed, stack->store);
  ASSERT_TRUE(stack->context->save());
  QVariantMap reread = cd::PersistentStoreCoordinator::metadataForPersistentStoreOfType(
      cd::SQLiteStoreType, QUrl::fromLocalFile(path));
  EXPECT_EQ(reread.value("author"), QVariant("Grace"));
  EXPECT_EQ(reread.value(cd::StoreMetadata::StoreTypeKey), QVariant("SQLite"));
  EXPECT_EQ(reread.value(cd::StoreMetadata::StoreUUIDKey),
            metadata.value(cd::StoreMetadata::StoreUUIDKey));
}

TEST(SQLiteStore, InMemoryStoresSaveAndFetchLikeFiles) {
  auto stack = openStack({});
  ASSERT_EQ(stack->store->type(), cd::InMemoryStoreType);
  cd::ManagedObject* composed = stack->insert("ComposedImage");
  for (QString name : {"x", "y"}) {
    cd::ManagedObject* layer = stack->insert("Layer");
    layer->setValue(name, "name");
    composed->insertObjects({layer}, fnd::IndexSet(0), "layers");
  }
  ASSERT_TRUE(stack->context->save());
  stack->context->reset();
  cd::ObjectList fetched = stack->fetch("ComposedImage");
  ASSERT_EQ(fetched.size(), 1);
  EXPECT_EQ(cdtest::namesOf(fetched[0]->relatedObjects("layers")), (QStringList{"y", "x"}));
}

TEST(SQLiteStore, BadFilesAreRejectedWithTheRightErrorAndLeftUntouched) {
  QString valid = writeDocument("valid.sqlite", 1 << 20);
  auto copyOf = [&](const QString& name) {
    QString path = tst::tempPath(name);
    QFile::copy(valid, path);
    return path;
  };
  auto writeFile = [](const QString& path, const QByteArray& bytes) {
    QFile file(path);
    file.open(QIODevice::WriteOnly | QIODevice::Truncate);
    file.write(bytes);
    return path;
  };
  struct Case {
    const char* what;
    std::function<QString()> make;
    int code;
    cd::ManagedObjectModelPtr model;
  };
  const Case table[] = {
      {"text file",
       [&] { return writeFile(tst::tempPath("text.sqlite"), "just some words, no database\n"); },
       fnd::FileReadCorruptFileError, cdtest::documentModel()},
      {"empty file", [&] { return writeFile(tst::tempPath("empty.sqlite"), {}); },
       fnd::FileReadCorruptFileError, cdtest::documentModel()},
      {"truncated store",
       [&] {
         QString path = copyOf("truncated.sqlite");
         QFile file(path);
         file.resize(file.size() / 2);
         return path;
       },
       fnd::FileReadCorruptFileError, cdtest::documentModel()},
      {"truncated to an odd size",
       [&] {
         QString path = copyOf("odd.sqlite");
         QFile file(path);
         file.resize(4096 * 3 + 17);
         return path;
       },
       fnd::FileReadCorruptFileError, cdtest::documentModel()},
      {"damaged pages",
       [&] {
         QString path = copyOf("damaged.sqlite");
         QFile file(path);
         file.open(QIODevice::ReadWrite);
         file.seek(100);
         file.write(QByteArray(8000, char(0xA5)));
         return path;
       },
       fnd::FileReadCorruptFileError, cdtest::documentModel()},
      {"SQLite database that is no store",
       [&] {
         QString path = tst::tempPath("plain.sqlite");
         sqlite(path, "CREATE TABLE notes (text VARCHAR); INSERT INTO notes VALUES ('hi');");
         return path;
       },
       fnd::FileReadCorruptFileError, cdtest::documentModel()},
      {"store of another model version", [&] { return copyOf("v1.sqlite"); },
       fnd::PersistentStoreIncompatibleVersionHashError, cdtest::documentModelV2()},
  };
  for (const Case& row : table) {
    QString path = row.make();
    QByteArray before = fileDigest(path);
    qint64 size = QFileInfo(path).size();
    fnd::Error error;
    auto stack = openStack(path, &error, {}, row.model);
    EXPECT_FALSE(stack) << row.what;
    EXPECT_EQ(error.code(), row.code)
        << row.what << ": " << error.localizedDescription().toStdString();
    EXPECT_FALSE(error.localizedDescription().isEmpty()) << row.what;
    if (row.code == fnd::FileReadCorruptFileError) {
      fnd::Error metadataError;
      EXPECT_TRUE(cd::PersistentStoreCoordinator::metadataForPersistentStoreOfType(
                      cd::SQLiteStoreType, QUrl::fromLocalFile(path), &metadataError)
                      .isEmpty())
          << row.what;
      EXPECT_EQ(metadataError.code(), fnd::FileReadCorruptFileError) << row.what;
    }
    EXPECT_EQ(fileDigest(path), before) << row.what;
    EXPECT_EQ(QFileInfo(path).size(), size) << row.what;
    EXPECT_FALSE(QFileInfo::exists(path + "-journal")) << row.what;
  }
  fnd::Error typeError;
  cd::PersistentStoreCoordinator coordinator(cdtest::documentModel());
  EXPECT_FALSE(coordinator.addPersistentStoreWithType("XML", {}, QUrl::fromLocalFile(valid), {},
                                                      &typeError));
  EXPECT_EQ(typeError.code(), fnd::PersistentStoreInvalidTypeError);
}

TEST(SQLiteStore, AFailedSaveLeavesThePreviousContentsReadable) {
  QString path = tst::tempPath("atomic.sqlite");
  auto stack = openStack(path);
  auto* kept = stack->context->insertNewObject<Layer>("Layer");
  kept->setName("kept");
  ASSERT_TRUE(stack->context->save());

  kept->setName("lost");
  auto* added = stack->context->insertNewObject<Layer>("Layer");
  added->setName("added");
  cd::SQLiteStore::setSaveFailureInjection([] { return true; });
  fnd::Error error;
  bool saved = stack->context->save(&error);
  cd::SQLiteStore::setSaveFailureInjection(nullptr);
  EXPECT_FALSE(saved);
  EXPECT_NE(error.code(), 0);
  EXPECT_EQ(sqlite(path, "SELECT ZNAME FROM ZLAYER"), "kept");
  EXPECT_EQ(sqlite(path, "SELECT Z_MAX FROM Z_PRIMARYKEY WHERE Z_NAME = 'Layer'"), "1");
  EXPECT_TRUE(stack->context->hasChanges());
  EXPECT_TRUE(added->objectID().isTemporaryID());
  EXPECT_TRUE(kept->isUpdated());

  ASSERT_TRUE(stack->context->save(&error)) << error.localizedDescription().toStdString();
  EXPECT_EQ(sqlite(path, "SELECT ZNAME FROM ZLAYER ORDER BY Z_PK").split('\n'),
            (QStringList{"lost", "added"}));
  EXPECT_EQ(added->objectID().primaryKey(), 2);
}

TEST(SQLiteStore, AKeyCounterAtTheEndOfItsRangeFailsTheSave) {
  QString path = tst::tempPath("exhausted-keys.sqlite");
  {
    auto stack = openStack(path);
    stack->context->insertNewObject<Layer>("Layer")->setName("kept");
    ASSERT_TRUE(stack->context->save());
  }
  sqlite(path, "UPDATE Z_PRIMARYKEY SET Z_MAX = 9223372036854775807 WHERE Z_NAME = 'Layer'");
  auto stack = openStack(path);
  stack->context->insertNewObject<Layer>("Layer")->setName("added");
  fnd::Error error;
  EXPECT_FALSE(stack->context->save(&error));
  EXPECT_EQ(error.code(), fnd::PersistentStoreSaveError);
  EXPECT_EQ(sqlite(path, "SELECT ZNAME FROM ZLAYER"), "kept");
  EXPECT_EQ(sqlite(path, "SELECT Z_MAX FROM Z_PRIMARYKEY WHERE Z_NAME = 'Layer'"),
            "9223372036854775807");
}

TEST(SQLiteStore, OptionsAreHonoured) {
  QString path = writeDocument("options.sqlite", 10);
  QByteArray before = fileDigest(path);
  {
    fnd::Error error;
    auto stack = openStack(path, &error, {{cd::ReadOnlyPersistentStoreOption, true}});
    ASSERT_TRUE(stack) << error.localizedDescription().toStdString();
    stack->fetch("Layer")[0]->setValue("changed", "name");
    EXPECT_FALSE(stack->context->save(&error));
    EXPECT_EQ(error.code(), fnd::PersistentStoreSaveError);
  }
  EXPECT_EQ(fileDigest(path), before);
  {
    QVariantMap options{{cd::SQLitePragmasOption, QVariantMap{{"journal_mode", "WAL"}}},
                        {cd::MigratePersistentStoresAutomaticallyOption, true},
                        {cd::InferMappingModelAutomaticallyOption, true}};
    auto stack = openStack(path, nullptr, options);
    ASSERT_TRUE(stack);
    EXPECT_TRUE(stack->store->options().value(cd::InferMappingModelAutomaticallyOption).toBool());
    EXPECT_EQ(stack->coordinator->persistentStoreForURL(QUrl::fromLocalFile(path)), stack->store);
    EXPECT_TRUE(stack->coordinator->removePersistentStore(stack->store));
    EXPECT_TRUE(stack->coordinator->persistentStores().isEmpty());
  }
  EXPECT_EQ(sqlite(path, "PRAGMA journal_mode"), "wal");
  fnd::Error error;
  QVariantMap hostile{{cd::SQLitePragmasOption, QVariantMap{{"journal_mode", "DELETE; DROP"}}}};
  EXPECT_FALSE(openStack(path, &error, hostile));
  EXPECT_EQ(error.code(), fnd::PersistentStoreOpenError);
}
