// What saving a store document does about the files around it: journals
// left by unfinished saves, its file replaced or removed by another
// program, and temporary files of saves whose process was killed.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFile>

#include "KeptJournal.h"
#include "TestSupport.h"
#include "TextDocument.h"
#include "appkit/DocumentController.h"
#include "appkit/PersistentDocument.h"
#include "appkit/ScriptedModalServices.h"
#include "coredata/FetchRequest.h"
#include "coredata/ManagedObjectContext.h"
#include "coredata/ModelLoader.h"
#include "coredata/SQLiteJournal.h"

using apptest::readFile;

namespace {

cd::ManagedObjectModelPtr memoModel() {
  static cd::ManagedObjectModelPtr model = [] {
    cd::ModelLoader loader;
    loader.addJson(R"({"versionIdentifier": "1", "entities": [
      {"name": "Memo", "properties": [{"name": "text", "type": "string"}]}]})",
                   "memos");
    return loader.build();
  }();
  return model;
}

class MemoDocument : public ui::PersistentDocument {
 public:
  cd::ManagedObjectModelPtr managedObjectModel() const override { return memoModel(); }
  void setText(const QString& text) {
    cd::ObjectList memos = managedObjectContext()->executeFetchRequest(cd::FetchRequest("Memo"));
    cd::ManagedObject* memo = memos.isEmpty()
                                  ? managedObjectContext()->insertNewObjectForEntityForName("Memo")
                                  : memos.first();
    memo->setValue(text, "text");
    managedObjectContext()->processPendingChanges();
    tst::spinOnce();  // the end of the user's step marks the document edited
  }
};

QString sqlite(const QString& path, const QString& sql) {
  QString output;
  tst::runTool("sqlite3", {path, sql}, &output);
  return output.trimmed();
}

// A process id that no process has (until the system hands it out again).
pid_t goneProcessId() {
  const pid_t child = fork();
  if (child == 0) _exit(0);
  waitpid(child, nullptr, 0);
  return child;
}

struct Fixture {
  Fixture() {
    qputenv("XDG_STATE_HOME", tst::tempPath("safety-state").toLocal8Bit());
    controller.setDocumentClass([] { return std::make_unique<MemoDocument>(); });
    modal.setUnexpectedDialogHandler(
        [](const QString& what) { ADD_FAILURE() << "unexpected " << what.toStdString(); });
    QDir().mkpath(folder);
  }
  MemoDocument* newDocument(const QString& text) {
    auto* doc =
        static_cast<MemoDocument*>(controller.openUntitledDocumentAndDisplay(false, nullptr));
    doc->setText(text);
    return doc;
  }
  bool save(ui::Document* doc, const QString& path, ui::SaveOperationType op,
            fnd::Error* error = nullptr) {
    bool ok = false;
    doc->saveToURL(QUrl::fromLocalFile(path), ui::TessalyDocumentType, op,
                   [&](const fnd::Error* e) {
                     ok = !e;
                     if (e && error) *error = *e;
                   });
    return ok;
  }
  QStringList files() const {
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
  }
  // The store at `path` after a save of `text` that stopped before its
  // journal was removed, its document closed.
  void leaveMidSave(const QString& path, const QString& before, const QString& text) {
    MemoDocument* doc = newDocument(before);
    ASSERT_TRUE(save(doc, path, ui::SaveAsOperation));
    doc->setText(text);
    {
      tst::KeptJournal kept;
      ASSERT_TRUE(save(doc, path, ui::SaveOperation));
      doc->close();
    }
    ASSERT_TRUE(cd::SQLiteJournal::exists(path));
  }

  ui::DocumentController controller;
  ui::ScriptedModalServices modal;
  QString folder = tst::tempPath("safety");
};

}  // namespace

// A journal left beside a path by an unfinished save of the file that was
// there is never played into a new store saved to that path: not when the
// old file is still there (Save As onto it), not when it was deleted (a new
// document saved under its name). The new file holds the new document, for
// the sqlite3 shell too, and nothing is left beside it.
TEST(StoreFileSafety, AJournalAtTheDestinationIsNeverPlayedIntoTheNewFile) {
  if (!tst::haveTool("sqlite3")) GTEST_SKIP() << "sqlite3 missing";
  for (const bool deleted : {false, true}) {
    SCOPED_TRACE(deleted ? "old file deleted" : "old file there");
    Fixture f;
    const QString path = f.folder + (deleted ? "/deleted.zova" : "/replaced.zova");
    f.leaveMidSave(path, "old", "older save, unfinished");
    if (deleted) {
      ASSERT_TRUE(QFile::remove(path));
    }

    MemoDocument* doc = f.newDocument("new");
    fnd::Error error;
    ASSERT_TRUE(f.save(doc, path, ui::SaveAsOperation, &error))
        << error.localizedDescription().toStdString();
    EXPECT_EQ(sqlite(path, "SELECT group_concat(ZTEXT) FROM ZMEMO"), "new");
    doc->setText("newer");
    ASSERT_TRUE(f.save(doc, path, ui::SaveOperation, &error))
        << error.localizedDescription().toStdString();
    doc->close();
    EXPECT_EQ(f.files(), QStringList{QFileInfo(path).fileName()});
    EXPECT_EQ(sqlite(path, "SELECT ZTEXT FROM ZMEMO"), "newer");
    EXPECT_EQ(sqlite(path, "PRAGMA integrity_check"), "ok");
  }
}

// A document whose file another program replaced, removed or renamed:
// Save fails naming the file and pointing to Save As, writes nothing at
// that path, keeps the document edited and closable; Save As then writes
// everything, the unsaved change included, into a new file and leaves no
// other file behind.
TEST(StoreFileSafety, SavingAFileReplacedOrRemovedUnderTheDocumentFailsAndSaveAsKeepsIt) {
  if (!tst::haveTool("sqlite3")) GTEST_SKIP() << "sqlite3 missing";
  const QByteArray png = QByteArray("\x89PNG\r\n\x1a\n", 8) + QByteArray(64, 'x');
  const struct {
    const char* name;
    std::function<void(const QString&)> change;
    bool leavesFile;
  } cases[] = {
      {"replaced",
       [&](const QString& path) {
         QFile other(path + ".new");
         ASSERT_TRUE(other.open(QIODevice::WriteOnly));
         other.write(png);
         other.close();
         ASSERT_EQ(std::rename(QFile::encodeName(path + ".new").constData(),
                               QFile::encodeName(path).constData()),
                   0);
       },
       true},
      {"removed", [](const QString& path) { ASSERT_TRUE(QFile::remove(path)); }, false},
      {"renamed away",
       [](const QString& path) { ASSERT_TRUE(QFile::rename(path, path + ".moved")); }, false},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.name);
    Fixture f;
    const QString path = f.folder + "/picture.zova";
    MemoDocument* doc = f.newDocument("saved");
    ASSERT_TRUE(f.save(doc, path, ui::SaveAsOperation));
    doc->setText("unsaved");
    test.change(path);
    const QStringList before = f.files();

    fnd::Error error;
    EXPECT_FALSE(f.save(doc, path, ui::SaveOperation, &error));
    EXPECT_TRUE(error.localizedDescription().contains(path))
        << error.localizedDescription().toStdString();
    EXPECT_TRUE(error.localizedRecoverySuggestion().contains("Save As"));
    EXPECT_EQ(f.files(), before);
    if (test.leavesFile) {
      EXPECT_EQ(readFile(path), png);
    }
    EXPECT_TRUE(doc->isDocumentEdited());

    const QString rescued = f.folder + "/rescued.zova";
    ASSERT_TRUE(f.save(doc, rescued, ui::SaveAsOperation, &error))
        << error.localizedDescription().toStdString();
    EXPECT_EQ(sqlite(rescued, "SELECT ZTEXT FROM ZMEMO"), "unsaved");
    QStringList expected = before;
    expected.append("rescued.zova");
    expected.sort();
    EXPECT_EQ(f.files(), expected);
    if (test.leavesFile) {
      EXPECT_EQ(readFile(path), png);
    }
    EXPECT_FALSE(doc->isDocumentEdited());
    doc->close();
  }
}

// Temporary files of saves beside the document whose process is gone (a
// killed Save As) go with the next save, their journals too; those of a
// living process, links and the user's own files stay.
TEST(StoreFileSafety, ASaveRemovesTheTemporaryFilesOfKilledSaves) {
  Fixture f;
  const QString path = f.folder + "/notes.zova";
  const QString gone = QString::number(goneProcessId());
  const QString living = QString::number(getppid());
  const QStringList stale = {".notes.zova.saving-" + gone + "-a1B2c3",
                             ".notes.zova.saving-" + gone + "-a1B2c3-journal"};
  const QStringList kept = {".notes.zova.saving-" + living + "-Zz9Yy8", ".notes.zova.backup",
                            ".other.zova.saving-" + gone + "-a1B2c3"};
  for (const QString& name : stale + kept) {
    QFile file(f.folder + "/" + name);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("left");
  }
  const QString outside = tst::tempPath("outside-target");
  QFile target(outside);
  ASSERT_TRUE(target.open(QIODevice::WriteOnly));
  target.write("not ours");
  target.close();
  const QString link = ".notes.zova.saving-" + gone + "-LiNk00";
  ASSERT_TRUE(QFile::link(outside, f.folder + "/" + link));

  MemoDocument* doc = f.newDocument("text");
  ASSERT_TRUE(f.save(doc, path, ui::SaveAsOperation));
  doc->setText("more");
  ASSERT_TRUE(f.save(doc, path, ui::SaveOperation));
  QStringList expected = kept;
  expected << link << "notes.zova";
  expected.sort();
  EXPECT_EQ(f.files(), expected);
  EXPECT_EQ(readFile(outside), "not ours");
  doc->close();
}
