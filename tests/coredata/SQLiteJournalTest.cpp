#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "CoreDataFixture.h"
#include "KeptJournal.h"
#include "TestSupport.h"
#include "coredata/PersistentStoreCoordinator.h"
#include "coredata/SQLiteJournal.h"

using namespace cdtest;

namespace {

QByteArray bytesOf(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList layerNames(cdtest::Stack& stack) { return namesOf(stack.fetch("Layer")); }

// A store whose last save stopped before its journal was removed: the file
// holds layers "a", "b" and "c" renamed, the journal the file as it was
// with "a" and "b".
void writeStoreLeftMidSave(const QString& path) {
  auto stack = openStack(path);
  for (const char* name : {"a", "b"})
    stack->insert("Layer")->setValue(QString::fromLatin1(name), "name");
  ASSERT_TRUE(stack->context->save());
  {
    tst::KeptJournal kept;
    stack->insert("Layer")->setValue(QStringLiteral("c"), "name");
    stack->fetch("Layer").first()->setValue(QStringLiteral("renamed"), "name");
    ASSERT_TRUE(stack->context->save());
    stack.reset();  // closes the connection while the journal is still kept
  }
  ASSERT_TRUE(cd::SQLiteJournal::exists(path));
}

}  // namespace

// A store left mid-save opens as it was before that save. A store that may
// write rolls the journal back into its file, which the sqlite3 shell then
// reads the same; a read-only one (the preview plug-in) and a metadata read
// work on a private copy and leave the file and its journal byte for byte
// as they were.
TEST(SQLiteJournal, AStoreLeftMidSaveOpensAsItWasBeforeThatSave) {
  const struct {
    const char* name;
    bool readOnly;
  } cases[] = {{"read-write", false}, {"read-only", true}};
  for (const auto& test : cases) {
    SCOPED_TRACE(test.name);
    const QString path = tst::tempPath(QStringLiteral("left-mid-save-%1.sqlite").arg(test.name));
    writeStoreLeftMidSave(path);
    const QByteArray file = bytesOf(path), journal = bytesOf(cd::SQLiteJournal::pathFor(path));

    fnd::Error error;
    const QVariantMap metadata = cd::PersistentStoreCoordinator::metadataForPersistentStoreOfType(
        cd::SQLiteStoreType, QUrl::fromLocalFile(path), &error);
    EXPECT_FALSE(metadata.isEmpty()) << error.localizedDescription().toStdString();
    EXPECT_EQ(bytesOf(path), file);

    QVariantMap options;
    if (test.readOnly) options.insert(cd::ReadOnlyPersistentStoreOption, true);
    auto stack = openStack(path, &error, options);
    ASSERT_TRUE(stack) << error.localizedDescription().toStdString();
    QStringList names = layerNames(*stack);
    names.sort();
    EXPECT_EQ(names, (QStringList{"a", "b"}));
    if (test.readOnly) {
      EXPECT_EQ(bytesOf(path), file);
      EXPECT_EQ(bytesOf(cd::SQLiteJournal::pathFor(path)), journal);
      stack->insert("Layer")->setValue(QStringLiteral("d"), "name");
      EXPECT_FALSE(stack->context->save(&error));
      EXPECT_EQ(bytesOf(path), file);
    } else {
      EXPECT_FALSE(cd::SQLiteJournal::exists(path));
      stack.reset();
      if (tst::haveTool("sqlite3")) {
        EXPECT_EQ(sqlite(path, "SELECT ZNAME FROM ZLAYER ORDER BY ZNAME"), "a\nb");
        EXPECT_EQ(sqlite(path, "PRAGMA integrity_check"), "ok");
      }
    }
  }
}

// A journal beside a path where a new store is about to be renamed: played
// back into the store there first, then gone; beside a file that is not a
// store, or none, simply removed.
TEST(SQLiteJournal, ClearingForReplacementLeavesNoJournalAndAWholeFile) {
  const QString store = tst::tempPath("replaced.sqlite");
  writeStoreLeftMidSave(store);
  ASSERT_TRUE(cd::SQLiteJournal::clearForReplacement(store, nullptr));
  EXPECT_FALSE(cd::SQLiteJournal::exists(store));
  if (tst::haveTool("sqlite3")) {
    EXPECT_EQ(sqlite(store, "SELECT ZNAME FROM ZLAYER ORDER BY ZNAME"), "a\nb");
  }

  const QString missing = tst::tempPath("missing.sqlite");
  writeStoreLeftMidSave(missing);
  ASSERT_TRUE(QFile::remove(missing));
  ASSERT_TRUE(cd::SQLiteJournal::clearForReplacement(missing, nullptr));
  EXPECT_FALSE(cd::SQLiteJournal::exists(missing));
  EXPECT_FALSE(QFileInfo::exists(missing));
}
