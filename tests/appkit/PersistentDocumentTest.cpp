#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QDir>
#include <QImage>
#include <cstdio>

#include "TestSupport.h"
#include "TextDocument.h"
#include "appkit/DocumentController.h"
#include "appkit/PersistentDocument.h"
#include "appkit/ScriptedModalServices.h"
#include "coredata/FetchRequest.h"
#include "coredata/ManagedObjectContext.h"
#include "coredata/ModelLoader.h"
#include "coredata/PersistentStore.h"
#include "coredata/SQLiteStore.h"

using apptest::readFile;

namespace {

cd::ManagedObjectModelPtr noteModel() {
  static cd::ManagedObjectModelPtr model = [] {
    cd::ModelLoader loader;
    loader.addJson(R"({"versionIdentifier": "1", "entities": [
      {"name": "Note", "properties": [{"name": "text", "type": "string"}]}]})",
                   "notes");
    return loader.build();
  }();
  return model;
}

// One note in a store, made with the new document as the program's own
// documents make their root object.
class NoteDocument : public ui::PersistentDocument {
 public:
  cd::ManagedObjectModelPtr managedObjectModel() const override { return noteModel(); }
  bool initWithType(const QString& type, fnd::Error* error) override {
    if (!PersistentDocument::initWithType(type, error)) return false;
    managedObjectContext()->insertNewObjectForEntityForName("Note")->setValue("a", "text");
    managedObjectContext()->processPendingChanges();
    undoManager()->removeAllActions();
    updateChangeCount(ui::ChangeCleared);
    return true;
  }
  cd::ManagedObject* note() {
    cd::ObjectList notes = managedObjectContext()->executeFetchRequest(cd::FetchRequest("Note"));
    return notes.value(0);
  }
  QString text() { return note() ? note()->valueForKey("text").toString() : QString(); }
  // One user step: the change, then the end of the event loop's pass.
  void edit(const QString& text) {
    note()->setValue(text, "text");
    managedObjectContext()->processPendingChanges();
    tst::spinOnce();
  }
};

QString sqlite(const QString& path, const QString& sql) {
  QString output;
  tst::runTool("sqlite3", {path, sql}, &output);
  return output.trimmed();
}

struct Fixture {
  Fixture() {
    qputenv("XDG_STATE_HOME", tst::tempPath("store-state").toLocal8Bit());
    controller.setDocumentClass([] { return std::make_unique<NoteDocument>(); });
    modal.setUnexpectedDialogHandler(
        [](const QString& what) { ADD_FAILURE() << "unexpected " << what.toStdString(); });
    QDir().mkpath(folder);
  }
  bool save(NoteDocument* doc, const QString& name, ui::SaveOperationType op,
            fnd::Error* error = nullptr) {
    bool ok = false;
    doc->saveToURL(QUrl::fromLocalFile(folder + "/" + name), ui::TessalyDocumentType, op,
                   [&](const fnd::Error* e) {
                     ok = !e;
                     if (e && error) *error = *e;
                   });
    return ok;
  }
  QStringList files() const { return QDir(folder).entryList(QDir::Files | QDir::Hidden); }

  ui::DocumentController controller;
  ui::ScriptedModalServices modal;
  QString folder = tst::tempPath("store");
};

}  // namespace

// A store document from untitled to reopened: undo cleans it, saves write
// the store in place or into a new file renamed into place, failed saves
// leave every file as it was, revert reads the store again.
TEST(PersistentDocument, LifeInTheStoreWithFailedSavesLeavingFilesUntouched) {
  if (!tst::haveTool("sqlite3")) GTEST_SKIP() << "sqlite3 missing";
  const mode_t oldMask = ::umask(022);
  Fixture f;
  fnd::Error error;
  auto* doc =
      static_cast<NoteDocument*>(f.controller.openUntitledDocumentAndDisplay(false, &error));
  ASSERT_TRUE(doc) << error.localizedDescription().toStdString();
  EXPECT_EQ(doc->fileType(), ui::TessalyDocumentType);
  EXPECT_FALSE(doc->isDocumentEdited());
  doc->edit("b");
  EXPECT_TRUE(doc->isDocumentEdited());
  doc->undoManager()->undo();
  EXPECT_EQ(doc->text(), "a");
  EXPECT_FALSE(doc->isDocumentEdited());
  doc->undoManager()->redo();
  EXPECT_EQ(doc->text(), "b");

  // An untitled store autosaves elsewhere and stays edited.
  doc->autosaveDocument({});
  const QString autosaved = doc->autosavedContentsFileURL().toLocalFile();
  ASSERT_FALSE(autosaved.isEmpty());
  EXPECT_EQ(sqlite(autosaved, "SELECT ZTEXT FROM ZNOTE"), "b");
  EXPECT_TRUE(doc->isDocumentEdited());

  // First save: a new store, no journal left beside it, the autosave gone.
  ASSERT_TRUE(f.save(doc, "notes.zova", ui::SaveAsOperation, &error))
      << error.localizedDescription().toStdString();
  const QString notes = f.folder + "/notes.zova";
  EXPECT_EQ(sqlite(notes, "SELECT ZTEXT FROM ZNOTE"), "b");
  EXPECT_EQ(f.files(), QStringList({"notes.zova"}));
  struct stat info {};
  ASSERT_EQ(::stat(QFile::encodeName(notes).constData(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0644u);  // 0666 less the umask, like any new file
  EXPECT_EQ(doc->persistentStore()->URL(), QUrl::fromLocalFile(notes));
  EXPECT_FALSE(doc->isDocumentEdited());
  EXPECT_FALSE(QFile::exists(autosaved));

  doc->edit("c");
  ASSERT_TRUE(f.save(doc, "notes.zova", ui::SaveOperation));
  EXPECT_EQ(sqlite(notes, "SELECT ZTEXT FROM ZNOTE"), "c");
  const QByteArray savedBytes = readFile(notes);

  // In place, the store fails inside its transaction: the file is unchanged.
  doc->edit("d");
  cd::SQLiteStore::setSaveFailureInjection([] { return true; });
  EXPECT_FALSE(f.save(doc, "notes.zova", ui::SaveOperation, &error));
  cd::SQLiteStore::setSaveFailureInjection(nullptr);
  EXPECT_TRUE(error.localizedDescription().contains(notes))
      << error.localizedDescription().toStdString();
  EXPECT_FALSE(error.underlyingError().isNull());
  EXPECT_EQ(readFile(notes), savedBytes);
  EXPECT_TRUE(doc->isDocumentEdited());

  // Save As writes a copy with the changes; the old file stays as saved.
  ASSERT_TRUE(f.save(doc, "other.zova", ui::SaveAsOperation, &error))
      << error.localizedDescription().toStdString();
  const QString other = f.folder + "/other.zova";
  EXPECT_EQ(sqlite(other, "SELECT ZTEXT FROM ZNOTE"), "d");
  EXPECT_EQ(readFile(notes), savedBytes);
  EXPECT_EQ(doc->fileURL(), QUrl::fromLocalFile(other));
  EXPECT_EQ(doc->persistentStore()->URL(), QUrl::fromLocalFile(other));

  // A failing Save As leaves no file and keeps the store on its own file.
  doc->edit("e");
  const QByteArray otherBytes = readFile(other);
  cd::SQLiteStore::setSaveFailureInjection([] { return true; });
  EXPECT_FALSE(f.save(doc, "third.zova", ui::SaveAsOperation, &error));
  cd::SQLiteStore::setSaveFailureInjection(nullptr);
  EXPECT_TRUE(error.localizedDescription().contains(f.folder + "/third.zova"));
  EXPECT_EQ(f.files(), QStringList({"notes.zova", "other.zova"}));
  EXPECT_EQ(readFile(other), otherBytes);
  ASSERT_TRUE(f.save(doc, "other.zova", ui::SaveOperation, &error))
      << error.localizedDescription().toStdString();
  EXPECT_EQ(sqlite(other, "SELECT ZTEXT FROM ZNOTE"), "e");

  // Save To writes the changes into the copy only; the document's own
  // file gets them with its next Save.
  ASSERT_TRUE(f.save(doc, "copy.zova", ui::SaveToOperation));
  EXPECT_EQ(sqlite(f.folder + "/copy.zova", "SELECT ZTEXT FROM ZNOTE"), "e");
  doc->edit("f");
  const QByteArray beforeCopy = readFile(other);
  ASSERT_TRUE(f.save(doc, "copy2.zova", ui::SaveToOperation, &error))
      << error.localizedDescription().toStdString();
  EXPECT_EQ(sqlite(f.folder + "/copy2.zova", "SELECT ZTEXT FROM ZNOTE"), "f");
  EXPECT_EQ(readFile(other), beforeCopy);
  EXPECT_EQ(doc->fileURL(), QUrl::fromLocalFile(other));
  EXPECT_TRUE(doc->isDocumentEdited());
  doc->edit("g");
  ASSERT_TRUE(f.save(doc, "other.zova", ui::SaveOperation, &error))
      << error.localizedDescription().toStdString();
  EXPECT_EQ(sqlite(other, "SELECT ZTEXT FROM ZNOTE"), "g");
  EXPECT_EQ(sqlite(f.folder + "/copy2.zova", "SELECT ZTEXT FROM ZNOTE"), "f");
  doc->edit("h");

  // Revert reads the store again.
  ASSERT_TRUE(doc->revertToContentsOfURL(doc->fileURL(), doc->fileType(), &error));
  EXPECT_EQ(doc->text(), "g");
  EXPECT_FALSE(doc->isDocumentEdited());
  EXPECT_FALSE(doc->undoManager()->canUndo());
  EXPECT_EQ(f.files(), QStringList({"copy.zova", "copy2.zova", "notes.zova", "other.zova"}));

  // Reopened by the controller: the same document; closed, a new one reads it.
  ui::Document* again = nullptr;
  f.controller.openDocumentWithContentsOfURL(QUrl::fromLocalFile(other), false,
                                             [&](ui::Document* d, bool wasOpen, const fnd::Error*) {
                                               again = d;
                                               EXPECT_TRUE(wasOpen);
                                             });
  EXPECT_EQ(again, doc);
  f.controller.openDocumentWithContentsOfURL(
      QUrl::fromLocalFile(notes), false,
      [&](ui::Document* d, bool, const fnd::Error*) { again = d; });
  ASSERT_TRUE(again);
  EXPECT_EQ(static_cast<NoteDocument*>(again)->text(), "c");
  tst::saveArtifact(other, "appkit-persistent-document.zova");
  ::umask(oldMask);
}

// A revert whose file no longer reads (here another program put a database
// that is not a store in its place) fails naming the file and keeps the
// store, the objects, the changes and their undo; a Save after it does not
// write an empty store over the file.
TEST(PersistentDocument, FailedRevertKeepsTheStoreTheObjectsAndTheChanges) {
  if (!tst::haveTool("sqlite3")) GTEST_SKIP() << "sqlite3 missing";
  Fixture f;
  fnd::Error error;
  auto* doc =
      static_cast<NoteDocument*>(f.controller.openUntitledDocumentAndDisplay(false, &error));
  ASSERT_TRUE(doc);
  doc->edit("saved");
  ASSERT_TRUE(f.save(doc, "notes.zova", ui::SaveAsOperation, &error))
      << error.localizedDescription().toStdString();
  doc->edit("unsaved");
  const QString notes = f.folder + "/notes.zova";
  const QString foreign = f.folder + "/foreign.db";
  sqlite(foreign, "CREATE TABLE t(x INTEGER); INSERT INTO t VALUES (1);");
  ASSERT_TRUE(QFile::exists(foreign));
  ASSERT_EQ(
      std::rename(QFile::encodeName(foreign).constData(), QFile::encodeName(notes).constData()), 0);
  const QByteArray foreignBytes = readFile(notes);

  EXPECT_FALSE(doc->revertToContentsOfURL(doc->fileURL(), doc->fileType(), &error));
  EXPECT_TRUE(error.localizedDescription().contains(notes))
      << error.localizedDescription().toStdString();
  EXPECT_FALSE(error.localizedFailureReason().isEmpty());
  ASSERT_TRUE(doc->persistentStore());
  EXPECT_EQ(doc->persistentStore()->URL(), QUrl::fromLocalFile(notes));
  EXPECT_EQ(doc->text(), "unsaved");
  EXPECT_TRUE(doc->isDocumentEdited());
  ASSERT_TRUE(doc->undoManager()->canUndo());
  doc->undoManager()->undo();
  EXPECT_EQ(doc->text(), "saved");
  doc->undoManager()->redo();
  EXPECT_EQ(doc->text(), "unsaved");

  f.save(doc, "notes.zova", ui::SaveOperation);
  EXPECT_EQ(readFile(notes), foreignBytes);
}

// Opening a file that fails to read names the file and keeps the reader's
// reason under it: a database that is not a store, a folder in a file's
// place.
TEST(DocumentController, OpenErrorsNameTheFileAndKeepTheReadersReason) {
  if (!tst::haveTool("sqlite3")) GTEST_SKIP() << "sqlite3 missing";
  Fixture f;
  const QString foreign = f.folder + "/foreign.zova";
  sqlite(foreign, "CREATE TABLE t(x INTEGER);");
  const QString folder = f.folder + "/folder.zova";
  QDir().mkpath(folder);
  for (const QString& path : {foreign, folder}) {
    fnd::Error error;
    EXPECT_FALSE(f.controller.makeDocumentWithContentsOfURL(QUrl::fromLocalFile(path),
                                                            ui::TessalyDocumentType, &error));
    EXPECT_TRUE(error.localizedDescription().contains(path))
        << error.localizedDescription().toStdString();
  }
  // The store's reason does not name the file; it stays as the reason.
  fnd::Error error;
  f.controller.makeDocumentWithContentsOfURL(QUrl::fromLocalFile(foreign), ui::TessalyDocumentType,
                                             &error);
  EXPECT_FALSE(error.localizedFailureReason().isEmpty());
  EXPECT_EQ(error.localizedFailureReason(), error.underlyingError().localizedDescription());
  EXPECT_FALSE(error.underlyingError().localizedDescription().contains(foreign));
}

// Types come from the content first: a PNG named .jpg is a PNG, a store is
// the program's own type whatever its name; unknown files fail naming them.
TEST(DocumentController, TypeForContentsOfURLReadsTheContentThenTheExtension) {
  ui::DocumentController controller;
  const QString folder = tst::tempPath("types");
  QDir().mkpath(folder);
  QImage image(4, 3, QImage::Format_ARGB32);
  image.fill(Qt::red);
  ASSERT_TRUE(image.save(folder + "/photo.jpg", "PNG"));
  apptest::writeFile(folder + "/store.zova",
                     QByteArray("SQLite format 3\0", 16) + QByteArray(100, '\0'));
  QFile::copy(folder + "/store.zova", folder + "/store.png");
  apptest::writeFile(folder + "/notes.zova", "not a store");
  apptest::writeFile(folder + "/notes.xyz", "nothing known");

  struct Case {
    QString file;
    QString type;  // empty: an error naming the file
  };
  const Case cases[] = {
      {"photo.jpg", "public.png"},
      {"store.zova", ui::TessalyDocumentType},
      {"store.png", ui::TessalyDocumentType},
      {"notes.zova", ""},
      {"notes.xyz", ""},
      {"missing.png", ""},
  };
  for (const Case& c : cases) {
    fnd::Error error;
    const QString path = folder + "/" + c.file;
    EXPECT_EQ(controller.typeForContentsOfURL(QUrl::fromLocalFile(path), &error), c.type)
        << c.file.toStdString();
    if (c.type.isEmpty()) {
      EXPECT_TRUE(error.localizedDescription().contains(path)) << c.file.toStdString();
    }
  }
  EXPECT_TRUE(controller.fileExtensionsFromType(ui::TessalyDocumentType).contains("zova"));
  EXPECT_EQ(controller.typeFromFileExtension("ZOVA"), ui::TessalyDocumentType);
}
