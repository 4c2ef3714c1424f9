#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QMenu>

#include "TestSupport.h"
#include "TextDocument.h"
#include "appkit/Application.h"
#include "appkit/AutosaveRecord.h"
#include "appkit/DocumentController.h"
#include "appkit/MenuItem.h"
#include "appkit/ScriptedModalServices.h"

using apptest::readFile;
using apptest::TextDocument;
using ui::ScriptedModalServices;

namespace {

struct Fixture {
  Fixture() {
    qputenv("XDG_STATE_HOME", tst::tempPath("state").toLocal8Bit());
    modal.setUnexpectedDialogHandler(
        [](const QString& what) { ADD_FAILURE() << "unexpected " << what.toStdString(); });
  }
  TextDocument* newDocument() {
    fnd::Error error;
    auto* document =
        static_cast<TextDocument*>(controller.openUntitledDocumentAndDisplay(true, &error));
    EXPECT_TRUE(document) << error.localizedDescription().toStdString();
    return document;
  }
  apptest::TextDocumentController controller;
  ScriptedModalServices modal;
};

QStringList filesIn(const QString& folder) {
  return QDir(folder).entryList(QDir::Files | QDir::Hidden);
}

mode_t modeOf(const QString& path) {
  struct stat info {};
  return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_mode & 07777 : 0;
}

}  // namespace

// A document from new to closed: an undoable change edits it, undo cleans
// it, each save operation writes where it should and leaves the change count
// as it should, revert reads the file again. New files get 0666 less the
// umask; a replaced file keeps its mode. Menu items follow the change count
// on their own.
TEST(Document, LifeThroughEachSaveOperation) {
  const mode_t oldMask = ::umask(027);
  Fixture f;
  TextDocument* doc = f.newDocument();
  ASSERT_TRUE(doc);
  ui::Window* window = doc->windowControllers().value(0)->window();
  EXPECT_EQ(doc->displayName(), "Untitled");
  EXPECT_EQ(window->title(), "Untitled");
  EXPECT_TRUE(window->isKeyWindow());
  EXPECT_EQ(f.controller.currentDocument(), doc);

  doc->setText("first");
  tst::spinOnce();  // the undo group closes with the event loop's pass
  EXPECT_TRUE(doc->isDocumentEdited());
  EXPECT_TRUE(window->isDocumentEdited());
  doc->undoManager()->undo();
  EXPECT_EQ(doc->text(), "");
  EXPECT_FALSE(doc->isDocumentEdited());
  doc->undoManager()->redo();
  EXPECT_TRUE(doc->isDocumentEdited());

  // Save of an untitled document runs the panel, then writes the file.
  const QString folder = tst::tempPath("life");
  QDir().mkpath(folder);
  const QString path = folder + "/notes.txt";
  f.modal.answerSavePanel(QUrl::fromLocalFile(path));
  EXPECT_TRUE(ui::Application::sharedApplication()->sendAction("saveDocument:"));
  EXPECT_EQ(f.modal.shown().last().save.nameFieldStringValue, "Untitled.txt");
  EXPECT_EQ(readFile(path), "first");
  EXPECT_FALSE(doc->isDocumentEdited());
  EXPECT_EQ(doc->fileURL(), QUrl::fromLocalFile(path));
  EXPECT_EQ(window->title(), "notes.txt");
  EXPECT_EQ(f.controller.recentDocumentURLs().value(0), QUrl::fromLocalFile(path));
  EXPECT_EQ(modeOf(path), 0640u);

  // Revert in the menu is enabled while the titled document is edited; the
  // change count alone brings the menu up to date with the event loop.
  QMenu menu;
  auto* revert = new ui::MenuItem("Revert", "revertDocumentToSaved:", &menu);
  menu.addAction(revert);
  ui::Application::sharedApplication()->updateWindows();
  EXPECT_FALSE(revert->isEnabled());

  // Save in place, over a file whose mode the user chose.
  ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), 0604), 0);
  doc->setText("second");
  EXPECT_TRUE(tst::spinUntil([&] { return revert->isEnabled(); }, 2000));
  doc->saveDocument(nullptr);
  EXPECT_EQ(readFile(path), "second");
  EXPECT_FALSE(doc->isDocumentEdited());
  EXPECT_EQ(modeOf(path), 0604u);
  EXPECT_TRUE(tst::spinUntil([&] { return !revert->isEnabled(); }, 2000));

  // Save To writes a copy and leaves the document where and as it was.
  doc->setText("third");
  tst::spinOnce();
  f.modal.answerSavePanel(QUrl::fromLocalFile(folder + "/copy.txt"));
  doc->saveDocumentTo(nullptr);
  EXPECT_EQ(readFile(folder + "/copy.txt"), "third");
  EXPECT_EQ(modeOf(folder + "/copy.txt"), 0640u);
  EXPECT_EQ(doc->fileURL(), QUrl::fromLocalFile(path));
  EXPECT_TRUE(doc->isDocumentEdited());

  // Autosave elsewhere keeps the file untouched and the document edited.
  doc->autosaveDocument({});
  EXPECT_EQ(readFile(path), "second");
  EXPECT_TRUE(doc->isDocumentEdited());
  EXPECT_FALSE(doc->hasUnautosavedChanges());
  const QString autosaved = doc->autosavedContentsFileURL().toLocalFile();
  EXPECT_EQ(readFile(autosaved), "third");

  // Revert, confirmed, reads the file back and forgets the undo stack.
  f.modal.answerAlertWithButton("Revert");
  ui::Application::sharedApplication()->sendAction("revertDocumentToSaved:");
  EXPECT_EQ(doc->text(), "second");
  EXPECT_FALSE(doc->isDocumentEdited());
  EXPECT_FALSE(doc->undoManager()->canUndo());

  // Save As moves the document to the new file; the autosave is gone.
  doc->setText("fourth");
  tst::spinOnce();
  f.modal.answerSavePanel(QUrl::fromLocalFile(folder + "/renamed.txt"));
  doc->saveDocumentAs(nullptr);
  EXPECT_EQ(readFile(folder + "/renamed.txt"), "fourth");
  EXPECT_EQ(modeOf(folder + "/renamed.txt"), 0640u);
  EXPECT_EQ(readFile(path), "second");
  EXPECT_EQ(doc->fileURL(), QUrl::fromLocalFile(folder + "/renamed.txt"));
  EXPECT_FALSE(QFile::exists(autosaved));

  // Autosave in place, for documents that do it, writes the file itself.
  doc->autosaves = true;
  doc->setText("fifth");
  tst::spinOnce();
  doc->autosaveDocument({});
  EXPECT_EQ(readFile(folder + "/renamed.txt"), "fifth");
  EXPECT_FALSE(doc->isDocumentEdited());

  // Every write went to a temporary file beside its destination.
  const QStringList folders{folder, QFileInfo(autosaved).path()};
  for (const QUrl& url : doc->writtenURLs) {
    EXPECT_TRUE(folders.contains(QFileInfo(url.toLocalFile()).path()))
        << url.toString().toStdString();
    EXPECT_FALSE(QFile::exists(url.toLocalFile()));
  }
  EXPECT_EQ(filesIn(folder), QStringList({"copy.txt", "notes.txt", "renamed.txt"}));
  EXPECT_EQ(f.modal.pendingAnswers(), 0);
  ::umask(oldMask);
}

// Closing an edited document asks Save / Cancel / Don't Save.
TEST(Document, ClosingWithUnsavedChangesAnswersSaveDontSaveCancel) {
  Fixture f;
  const QString folder = tst::tempPath("closing");
  QDir().mkpath(folder);
  struct Case {
    QString button;
    bool closes;
    QByteArray file;
  };
  const Case cases[] = {
      {"Cancel", false, "old"}, {"Don't Save", true, "old"}, {"Save", true, "new"}};
  for (const Case& c : cases) {
    const QString path = folder + "/" + c.button + ".txt";
    apptest::writeFile(path, "old");
    ui::Document* opened = nullptr;
    f.controller.openDocumentWithContentsOfURL(
        QUrl::fromLocalFile(path), true,
        [&](ui::Document* d, bool, const fnd::Error*) { opened = d; });
    ASSERT_TRUE(opened);
    QPointer<TextDocument> doc = static_cast<TextDocument*>(opened);
    doc->setText("new");
    tst::spinOnce();
    ui::Window* window = doc->windowControllers().value(0)->window();
    f.modal.answerAlertWithButton(c.button);
    window->QWidget::close();  // the user's close button
    tst::spinUntil([&] { return !doc; }, c.closes ? 5000 : 50);
    EXPECT_EQ(!doc, c.closes) << c.button.toStdString();
    EXPECT_EQ(f.controller.documents().size(), c.closes ? 0 : 1) << c.button.toStdString();
    EXPECT_EQ(readFile(path), c.file) << c.button.toStdString();
    if (doc) {
      EXPECT_TRUE(window->isVisible());
      doc->close();
      tst::spinUntil([&] { return !doc; }, 500);
    }
  }
  EXPECT_EQ(f.modal.pendingAnswers(), 0);
}

// A writer failing half-way leaves the old file byte for byte, no temporary
// file behind, and an error naming the document and the file.
TEST(Document, FailedSaveLeavesTheOldFileUntouched) {
  Fixture f;
  const QString folder = tst::tempPath("failing");
  QDir().mkpath(folder);
  const QString path = folder + "/kept.txt";
  apptest::writeFile(path, "the saved contents");
  ui::Document* opened = nullptr;
  f.controller.openDocumentWithContentsOfURL(
      QUrl::fromLocalFile(path), false,
      [&](ui::Document* d, bool, const fnd::Error*) { opened = d; });
  auto* doc = static_cast<TextDocument*>(opened);
  ASSERT_TRUE(doc);
  doc->setText("a longer text that will never reach the disk");
  tst::spinOnce();
  doc->failHalfway = true;

  for (ui::SaveOperationType op : {ui::SaveOperation, ui::SaveAsOperation, ui::SaveToOperation,
                                   ui::AutosaveInPlaceOperation, ui::AutosaveElsewhereOperation}) {
    const fnd::Error* failure = nullptr;
    fnd::Error kept;
    doc->saveToURL(QUrl::fromLocalFile(path), apptest::TextType, op, [&](const fnd::Error* e) {
      failure = e;
      if (e) kept = *e;
    });
    ASSERT_TRUE(failure);
    EXPECT_TRUE(kept.localizedDescription().contains(path))
        << kept.localizedDescription().toStdString();
    EXPECT_TRUE(kept.localizedDescription().contains("kept.txt"));
    EXPECT_EQ(readFile(path), "the saved contents");
    EXPECT_EQ(filesIn(folder), QStringList({"kept.txt"}));
    EXPECT_TRUE(doc->isDocumentEdited());
  }

  // The Save command shows the failure to the user, naming the file.
  f.modal.answerAlert(ui::AlertFirstButtonReturn);
  doc->saveDocument(nullptr);
  ASSERT_EQ(f.modal.shown().size(), 1);
  EXPECT_TRUE(f.modal.shown()[0].alert.messageText.contains(path));
}

// The hook's error is the one shown; a hook that presents an error itself
// is not entered again.
TEST(Document, PresentedErrorIsTheOneTheHookReturns) {
  class Rewriting : public TextDocument {
   public:
    fnd::Error willPresentError(const fnd::Error& error) override {
      ++calls;
      if (presentsInside) presentError(error);
      return fnd::Error::withDescription(error.domain(), error.code(),
                                         "2 validation errors have occurred");
    }
    int calls = 0;
    bool presentsInside = false;
  } doc;
  ScriptedModalServices modal;
  const fnd::Error original = fnd::Error::withDescription(fnd::CocoaErrorDomain, 1560, "original");
  for (bool inside : {false, true}) {
    doc.calls = 0;
    doc.presentsInside = inside;
    const int before = modal.shown().size();
    modal.answerAlert(ui::AlertFirstButtonReturn);
    if (inside) modal.answerAlert(ui::AlertFirstButtonReturn);
    EXPECT_FALSE(doc.presentError(original));
    EXPECT_EQ(doc.calls, 1);
    EXPECT_EQ(modal.shown().last().alert.messageText, "2 validation errors have occurred");
    EXPECT_EQ(modal.shown().size() - before, inside ? 2 : 1);
  }
}

// Quitting asks each edited document in turn; a Cancel stops the quit before
// the delegate is asked, and documents already saved stay saved.
TEST(Document, TerminationReviewsEditedDocumentsFirst) {
  Fixture f;
  class Delegate : public ui::ApplicationDelegate {
   public:
    TerminateReply applicationShouldTerminate() override {
      ++asked;
      return TerminateCancel;
    }
    int asked = 0;
  } delegate;
  ui::Application* app = ui::Application::sharedApplication();
  app->setDelegate(&delegate);
  TextDocument* first = f.newDocument();
  TextDocument* second = f.newDocument();
  TextDocument* clean = f.newDocument();
  ASSERT_TRUE(first && second && clean);
  EXPECT_EQ(second->displayName(), "Untitled 2");
  first->setText("one");
  second->setText("two");
  tst::spinOnce();

  const QString path = tst::tempPath("quit-first.txt");
  f.modal.answerAlertWithButton("Save");
  f.modal.answerSavePanel(QUrl::fromLocalFile(path));
  f.modal.answerAlertWithButton("Cancel");
  app->terminate();
  EXPECT_EQ(delegate.asked, 0);
  EXPECT_FALSE(app->isTerminating());
  EXPECT_EQ(readFile(path), "one");
  EXPECT_FALSE(first->isDocumentEdited());
  EXPECT_TRUE(second->isDocumentEdited());

  f.modal.answerAlertWithButton("Don't Save");
  app->terminate();
  EXPECT_EQ(delegate.asked, 1);
  EXPECT_EQ(f.modal.pendingAnswers(), 0);
  app->setDelegate(nullptr);
}

// Open runs the panel and opens each file it returns, reporting those that
// fail by name; the recent-documents menu reopens what was opened; Move
// takes the file along with the document.
TEST(DocumentController, OpenRecentAndMove) {
  Fixture f;
  f.controller.clearRecentDocuments(nullptr);
  const QString folder = tst::tempPath("opening");
  QDir().mkpath(folder);
  apptest::writeFile(folder + "/good.txt", "good");
  const QString missing = folder + "/missing.txt";
  f.modal.answerOpenPanel(
      {QUrl::fromLocalFile(folder + "/good.txt"), QUrl::fromLocalFile(missing)});
  f.modal.answerAlert(ui::AlertFirstButtonReturn);
  EXPECT_TRUE(ui::Application::sharedApplication()->sendAction("openDocument:"));
  ASSERT_EQ(f.controller.documents().size(), 1);
  EXPECT_TRUE(f.modal.shown().last().alert.messageText.contains(missing));
  QPointer<ui::Document> good = f.controller.documents().first();
  EXPECT_EQ(static_cast<TextDocument*>(good.data())->text(), "good");

  good->close();
  EXPECT_TRUE(f.controller.documents().isEmpty());
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_FALSE(good);
  QWidget parent;
  QMenu* recents = f.controller.makeRecentDocumentsMenu(&parent);
  emit recents->aboutToShow();
  QStringList titles;
  for (QAction* action : recents->actions())
    if (!action->isSeparator()) titles.append(action->text());
  EXPECT_EQ(titles, QStringList({"good.txt", "Clear Menu"}));
  recents->actions().first()->trigger();
  ASSERT_EQ(f.controller.documents().size(), 1);
  ui::Document* reopened = f.controller.documents().first();

  f.modal.answerSavePanel(QUrl::fromLocalFile(folder + "/moved.txt"));
  reopened->moveDocument(nullptr);
  EXPECT_EQ(f.modal.shown().last().save.prompt, "Move");
  EXPECT_EQ(reopened->fileURL(), QUrl::fromLocalFile(folder + "/moved.txt"));
  EXPECT_EQ(readFile(folder + "/moved.txt"), "good");
  EXPECT_FALSE(QFile::exists(folder + "/good.txt"));
  EXPECT_EQ(f.controller.recentDocumentURLs().value(0), QUrl::fromLocalFile(folder + "/moved.txt"));

  // Moved over another file: it is replaced. A move that cannot happen (the
  // document's file went away) leaves the file it would have replaced.
  apptest::writeFile(folder + "/taken.txt", "taken");
  fnd::Error error;
  ASSERT_TRUE(reopened->moveToURL(QUrl::fromLocalFile(folder + "/taken.txt"), &error))
      << error.localizedDescription().toStdString();
  EXPECT_EQ(readFile(folder + "/taken.txt"), "good");
  EXPECT_FALSE(QFile::exists(folder + "/moved.txt"));
  apptest::writeFile(folder + "/kept.txt", "kept");
  QFile::remove(folder + "/taken.txt");
  EXPECT_FALSE(reopened->moveToURL(QUrl::fromLocalFile(folder + "/kept.txt"), &error));
  EXPECT_TRUE(error.localizedDescription().contains(folder + "/kept.txt"));
  EXPECT_FALSE(error.localizedFailureReason().isEmpty());
  EXPECT_EQ(readFile(folder + "/kept.txt"), "kept");
  EXPECT_EQ(reopened->fileURL(), QUrl::fromLocalFile(folder + "/taken.txt"));
  EXPECT_EQ(f.modal.pendingAnswers(), 0);
}

// A save that fails while closing or quitting (the file cannot be written)
// is reported, and the question comes again: Don't Save still closes the
// document, Quit still goes on, and the file stays as it was.
TEST(Document, AFailedSaveWhileClosingOrQuittingStillOffersDontSave) {
  Fixture f;
  class Delegate : public ui::ApplicationDelegate {
   public:
    TerminateReply applicationShouldTerminate() override {
      ++asked;
      return TerminateCancel;
    }
    int asked = 0;
  } delegate;
  ui::Application* app = ui::Application::sharedApplication();
  app->setDelegate(&delegate);
  const QString folder = tst::tempPath("failing-close");
  QDir().mkpath(folder);
  for (const bool quitting : {false, true}) {
    SCOPED_TRACE(quitting ? "quit" : "close");
    const QString path = folder + (quitting ? "/quit.txt" : "/close.txt");
    apptest::writeFile(path, "old");
    ui::Document* opened = nullptr;
    f.controller.openDocumentWithContentsOfURL(
        QUrl::fromLocalFile(path), true,
        [&](ui::Document* d, bool, const fnd::Error*) { opened = d; });
    QPointer<TextDocument> doc = static_cast<TextDocument*>(opened);
    ASSERT_TRUE(doc);
    doc->setText("new");
    tst::spinOnce();
    doc->failHalfway = true;
    const qsizetype before = f.modal.shown().size();
    f.modal.answerAlertWithButton("Save");
    f.modal.answerAlert(ui::AlertFirstButtonReturn);  // the error
    f.modal.answerAlertWithButton("Don't Save");
    if (quitting) {
      app->terminate();
      EXPECT_EQ(delegate.asked, 1);
      doc->close();
      QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    } else {
      doc->windowControllers().value(0)->window()->QWidget::close();
    }
    EXPECT_TRUE(tst::spinUntil([&] { return !doc; }));
    EXPECT_EQ(readFile(path), "old");
    ASSERT_EQ(f.modal.shown().size(), before + 3);
    EXPECT_TRUE(f.modal.shown()[before + 1].alert.messageText.contains(path));
    EXPECT_EQ(f.modal.shown()[before + 2].alert.messageText,
              f.modal.shown()[before].alert.messageText);
    EXPECT_EQ(filesIn(folder).size(), quitting ? 2 : 1) << "a temporary file was left";
  }
  EXPECT_EQ(f.modal.pendingAnswers(), 0);
  app->setDelegate(nullptr);
}

// Edits are autosaved after a pause into the autosave folder, with a record
// of the document's file, never over the file; each edit restarts the wait.
// Don't Save removes the copy and its record.
TEST(Document, EditingAutosavesAfterAPauseIntoTheAutosaveFolderOnly) {
  Fixture f;
  f.controller.setAutosavingDelay(0.05);
  const QString path = tst::tempPath("paused.txt");
  apptest::writeFile(path, "old");
  ui::Document* opened = nullptr;
  f.controller.openDocumentWithContentsOfURL(
      QUrl::fromLocalFile(path), true,
      [&](ui::Document* d, bool, const fnd::Error*) { opened = d; });
  QPointer<TextDocument> doc = static_cast<TextDocument*>(opened);
  ASSERT_TRUE(doc);
  doc->setText("new");
  ASSERT_TRUE(tst::spinUntil([&] { return !doc->autosavedContentsFileURL().isEmpty(); }, 3000));
  const QString copy = doc->autosavedContentsFileURL().toLocalFile();
  EXPECT_EQ(QFileInfo(copy).path(),
            qEnvironmentVariable("XDG_STATE_HOME") + "/Tessaly/Autosave Information");
  EXPECT_EQ(readFile(copy), "new");
  EXPECT_EQ(readFile(path), "old");
  EXPECT_TRUE(doc->isDocumentEdited());
  ui::AutosaveRecord record;
  ASSERT_TRUE(ui::AutosaveRecord::read(copy + ".autosave.json", &record));
  EXPECT_EQ(record.fileURL, QUrl::fromLocalFile(path));
  EXPECT_EQ(record.fileType, apptest::TextType);

  doc->setText("newer");
  EXPECT_TRUE(tst::spinUntil([&] { return readFile(copy) == "newer"; }, 3000));
  EXPECT_EQ(readFile(path), "old");

  f.modal.answerAlertWithButton("Don't Save");
  doc->windowControllers().value(0)->window()->QWidget::close();
  EXPECT_TRUE(tst::spinUntil([&] { return !doc; }));
  EXPECT_EQ(readFile(path), "old");
  EXPECT_TRUE(filesIn(QFileInfo(copy).path()).isEmpty());
}

// Changes kept for the next start (a signal, the session's end) come back
// as edited documents, at their own files and names, the files untouched;
// saving or closing them then deals with the copies.
TEST(DocumentController, KeptAutosavesOpenAgainEditedAtTheirFiles) {
  Fixture f;
  const QString path = tst::tempPath("kept.txt");
  apptest::writeFile(path, "old");
  f.controller.openDocumentWithContentsOfURL(QUrl::fromLocalFile(path), true, {});
  auto* titled = static_cast<TextDocument*>(f.controller.documents().value(0));
  TextDocument* untitled = f.newDocument();
  ASSERT_TRUE(titled && untitled);
  titled->setText("unsaved");
  untitled->setText("draft");
  tst::spinOnce();
  ASSERT_TRUE(f.controller.autosaveEditedDocumentsForNextLaunch());
  for (ui::Document* d : f.controller.documents()) d->close();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  const QString folder = ui::AutosaveRecord::folder();
  EXPECT_EQ(filesIn(folder).size(), 4) << filesIn(folder).join(' ').toStdString();

  ASSERT_EQ(f.controller.reopenAutosavedDocuments(), 2);
  TextDocument* reopened = nullptr;
  TextDocument* draft = nullptr;
  for (ui::Document* d : f.controller.documents())
    (d->fileURL().isEmpty() ? draft : reopened) = static_cast<TextDocument*>(d);
  ASSERT_TRUE(reopened && draft);
  EXPECT_EQ(reopened->fileURL(), QUrl::fromLocalFile(path));
  EXPECT_EQ(reopened->displayName(), "kept.txt");
  EXPECT_EQ(reopened->text(), "unsaved");
  EXPECT_TRUE(reopened->isDocumentEdited());
  EXPECT_EQ(reopened->windowControllers().value(0)->window()->title(), "kept.txt");
  EXPECT_EQ(draft->displayName(), "Untitled");
  EXPECT_EQ(draft->text(), "draft");
  EXPECT_TRUE(draft->isDocumentEdited());
  EXPECT_EQ(readFile(path), "old");
  EXPECT_EQ(f.controller.reopenAutosavedDocuments(), 0) << "a copy was given back twice";

  reopened->saveDocument(nullptr);
  EXPECT_EQ(readFile(path), "unsaved");
  EXPECT_EQ(filesIn(folder).size(), 2);
  f.modal.answerAlertWithButton("Don't Save");
  QPointer<ui::Document> closing = draft;
  draft->windowControllers().value(0)->window()->QWidget::close();
  EXPECT_TRUE(tst::spinUntil([&] { return !closing; }));
  EXPECT_TRUE(filesIn(folder).isEmpty());
  reopened->close();
}

// A signal or the session's end asks nothing, even while a Quit waits for
// its answer: edited documents are kept in the autosave folder, their files
// untouched, the delegate hears why, and the documents close.
TEST(Document, SignalsAndTheSessionEndTheProgramWithoutAsking) {
  using Reason = ui::Application::TerminationReason;
  class Delegate : public ui::ApplicationDelegate {
   public:
    void applicationWillTerminate() override {
      reasons.append(ui::Application::sharedApplication()->terminationReason());
    }
    QList<Reason> reasons;
  } delegate;
  ui::Application* app = ui::Application::sharedApplication();
  app->setDelegate(&delegate);
  for (const Reason reason : {Reason::Signal, Reason::Session}) {
    Fixture f;
    const QString path = tst::tempPath("ended.txt");
    apptest::writeFile(path, "old");
    f.controller.openDocumentWithContentsOfURL(QUrl::fromLocalFile(path), true, {});
    QPointer<TextDocument> doc = static_cast<TextDocument*>(f.controller.documents().value(0));
    ASSERT_TRUE(doc);
    doc->setText("new");
    tst::spinOnce();
    if (reason == Reason::Signal) {
      // The user's Quit is at its question when the signal comes.
      f.modal.setSheetsCompleteLater(true);
      f.modal.answerAlertWithButton("Cancel");
      app->terminate();
      ASSERT_TRUE(app->isTerminating());
      app->terminateWithoutAsking(reason);
    } else {
      QEvent quit(QEvent::Quit);
      QCoreApplication::sendEvent(qApp, &quit);
    }
    ASSERT_EQ(delegate.reasons.size(), reason == Reason::Signal ? 1 : 2);
    EXPECT_EQ(delegate.reasons.last(), reason);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(doc);
    EXPECT_EQ(readFile(path), "old");
    const QStringList kept = QDir(ui::AutosaveRecord::folder()).entryList({"*.txt"}, QDir::Files);
    ASSERT_EQ(kept.size(), 1);
    EXPECT_EQ(readFile(ui::AutosaveRecord::folder() + "/" + kept[0]), "new");
    EXPECT_EQ(app->terminationReason(), Reason::User) << "the next termination is the user's";
    tst::spinOnce();
  }
  app->setDelegate(nullptr);
}
