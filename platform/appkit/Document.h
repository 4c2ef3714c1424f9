// A document: what one window (or several) edits, read from and saved to a
// file. It counts its changes (from its undo manager), owns its window
// controllers, runs the save panel and the save operations with the
// guarantee that a failed save leaves the file on disk as it was, reverts,
// closes after asking about unsaved changes, and presents errors.
#pragma once

#include <QDateTime>
#include <QObject>
#include <QTimer>
#include <QUrl>
#include <functional>
#include <memory>
#include <vector>

#include "appkit/PrintInfo.h"
#include "appkit/Responder.h"
#include "appkit/SaveOperationType.h"
#include "foundation/Error.h"
#include "foundation/NotificationCenter.h"
#include "foundation/Observable.h"

namespace fnd {
class UndoManager;
}

namespace ui {

class DocumentController;
class PrintOperation;
class Window;
class WindowController;
struct AutosaveRecord;
struct SavePanelRequest;

class Document : public QObject, public Responder, public fnd::Observable {
  Q_OBJECT

 public:
  // Called with null on success, else with the error that says what failed.
  using Completion = std::function<void(const fnd::Error* error)>;

  Document();
  ~Document() override;

  // A new untitled document of `typeName`; false with the error when it
  // cannot be made.
  virtual bool initWithType(const QString& typeName, fnd::Error* error);
  // A document read from `url`, clean after reading.
  virtual bool initWithContentsOfURL(const QUrl& url, const QString& typeName, fnd::Error* error);

  QUrl fileURL() const { return fileURL_; }
  virtual void setFileURL(const QUrl& url);
  QString fileType() const { return fileType_; }
  void setFileType(const QString& type) { fileType_ = type; }
  QDateTime fileModificationDate() const { return fileModificationDate_; }
  void setFileModificationDate(const QDateTime& date) { fileModificationDate_ = date; }
  // The name set with setDisplayName, else the file's name, else the
  // numbered "Untitled" the document controller handed out.
  virtual QString displayName() const;
  void setDisplayName(const QString& name);

  // Edited while the change count is not zero. Done and redone changes
  // count up, undone ones down; cleared sets zero. A change done after
  // undoing past the saved state keeps the document edited until it is
  // saved or cleared: the saved state can no longer be reached by redo.
  bool isDocumentEdited() const { return changeCount_ != 0 || savedStateUnreachable_; }
  void updateChangeCount(DocumentChangeType change);
  bool hasUnautosavedChanges() const { return unautosaved_; }
  // Made on first use unless one was set; its groups drive the change count.
  fnd::UndoManager* undoManager();
  void setUndoManager(fnd::UndoManager* manager);
  bool hasUndoManager() const { return undoManager_ != nullptr; }

  // Window controllers, owned by the document, in the order added.
  virtual void makeWindowControllers() {}
  void addWindowController(std::unique_ptr<WindowController> controller);
  // Gives the controller up (deleted later) without closing the document.
  void removeWindowController(WindowController* controller);
  QList<WindowController*> windowControllers() const;
  void showWindows();
  // The window sheets of this document attach to; may be null.
  Window* windowForSheet() const;
  // Closes the windows and leaves the document controller, which deletes
  // the document later. Asks nothing: see canCloseDocument.
  virtual void close();
  bool isClosed() const { return closed_; }
  // Whether the windows show an older version read-only; never here, where
  // no version browser exists.
  virtual bool isInViewingMode() const { return false; }

  // Reading. The default reads the file's bytes into readFromData.
  virtual bool readFromURL(const QUrl& url, const QString& typeName, fnd::Error* error);
  virtual bool readFromData(const QByteArray& data, const QString& typeName, fnd::Error* error);
  // Writing. The default writes dataOfType to `url`.
  virtual bool writeToURL(const QUrl& url, const QString& typeName, SaveOperationType op,
                          const QUrl& originalContentsURL, fnd::Error* error);
  virtual QByteArray dataOfType(const QString& typeName, fnd::Error* error);
  // Writes into a temporary file of the destination folder, then renames it
  // over `url`: a failure at any point leaves the old file as it was.
  virtual bool writeSafelyToURL(const QUrl& url, const QString& typeName, SaveOperationType op,
                                fnd::Error* error);
  // One save operation with the bookkeeping after it (file URL, type,
  // change count); the completion runs once, on the calling thread.
  void saveToURL(const QUrl& url, const QString& typeName, SaveOperationType op,
                 Completion completion);
  // Always false here: saving runs on the main thread.
  virtual bool canAsynchronouslyWriteToURL(const QUrl& url, const QString& typeName,
                                           SaveOperationType op) const;

  // The save panel: asks prepareSavePanel, runs it as a sheet, saves to the
  // chosen file with fileTypeFromLastRunSavePanel. `completion` hears
  // whether the document was saved.
  virtual void runModalSavePanelForSaveOperation(SaveOperationType op,
                                                 std::function<void(bool didSave)> completion);
  // False cancels the panel before it shows.
  virtual bool prepareSavePanel(SavePanelRequest& panel);
  // The type of the last panel's file: by its extension among the
  // writable types, else the document's type.
  virtual QString fileTypeFromLastRunSavePanel() const;
  virtual QStringList writableTypesForSaveOperation(SaveOperationType op) const;
  // The display name with the extension of the panel's first type.
  QString proposedSaveName(const SavePanelRequest& panel) const;
  SaveOperationType currentSaveOperation() const { return currentSaveOperation_; }

  // Actions sent by the File menu.
  void saveDocument(QObject* sender);
  void saveDocumentAs(QObject* sender);
  void saveDocumentTo(QObject* sender);
  void revertDocumentToSaved(QObject* sender);
  virtual void moveDocument(QObject* sender);
  // Runs printShowingPrintPanel(true).
  virtual void printDocument(QObject* sender);
  // The operation from printOperationWithSettings, as a sheet of
  // windowForSheet(); failures are presented.
  virtual void printShowingPrintPanel(bool showPanel);
  // What printing draws; the default has nothing to print and says so.
  virtual std::unique_ptr<PrintOperation> printOperationWithSettings(const QVariantMap& settings,
                                                                     fnd::Error* error);
  // Made on first use with the paper's defaults.
  PrintInfoPtr printInfo();
  virtual void setPrintInfo(PrintInfoPtr printInfo);
  // Reads the file again and forgets the undo stack.
  virtual bool revertToContentsOfURL(const QUrl& url, const QString& typeName, fnd::Error* error);
  // Moves the file, keeping the document on it; error says what and where.
  virtual bool moveToURL(const QUrl& url, fnd::Error* error);

  // Autosave: in place when the document has a file and autosavesInPlace,
  // else into the autosave folder under the user's state folder, with a
  // record of what the copy stands for. The copy goes when the document is
  // saved, reverted or closed, unless kept for the next start.
  virtual bool autosavesInPlace() const { return false; }
  void autosaveDocument(Completion completion);
  QUrl autosavedContentsFileURL() const { return autosavedContentsFileURL_; }
  // The type autosaves are written in.
  virtual QString autosavingFileType() const { return fileType_; }
  // Autosaves an edited document now, asking nothing, and keeps the copy
  // when the document closes, so the next start gives the changes back.
  // False when the changes could not be written.
  bool autosaveForNextLaunch(fnd::Error* error = nullptr);
  bool keepsAutosaveForNextLaunch() const { return keepsAutosave_; }
  // Whether the document still works on its autosaved copy (a store kept
  // there), which then stays until the document closes.
  virtual bool autosavedContentsInUse() const { return false; }

  // With unsaved changes asks Save / Cancel / Don't Save (a titled document
  // that autosaves in place saves without asking); `completion` hears
  // whether the document may close. A save that fails is reported and the
  // question comes again, so Don't Save always remains.
  void canCloseDocument(std::function<void(bool shouldClose)> completion);
  // Asked by a window controller whose window the user closes: the last
  // window of an edited document asks first.
  virtual void shouldCloseWindowController(WindowController* controller,
                                           std::function<void(bool shouldClose)> completion);

  // Errors: the hook returns the error actually shown (it may rewrite it);
  // presenting calls it once and never again from inside it.
  virtual fnd::Error willPresentError(const fnd::Error& error);
  // Modal; false (no recovery was attempted).
  bool presentError(const fnd::Error& error);
  // As a sheet of windowForSheet().
  void presentErrorModalForWindow(const fnd::Error& error, std::function<void()> completion);

  bool validateUserInterfaceItem(const UserInterfaceItem& item) override;

  DocumentController* documentController() const { return controller_; }

 protected:
  // The error a failed save reports when the writer left none.
  fnd::Error saveFailure(const QUrl& url, const QString& reason) const;
  // A reader's error as the user sees it: the reader's own when it names
  // the file, else one naming the file with the reader's reason and
  // recovery text (same domain and code, the reader's error underneath).
  static fnd::Error readFailure(const QUrl& url, const fnd::Error& readerError);
  // For subclass destructors whose members the windows may still read.
  void discardWindowControllers();
  // Makes an empty file with a fresh name beside `url` for writing before
  // the rename; empty with the error when the folder refuses.
  QString temporaryFileBeside(const QUrl& url, fnd::Error* error) const;
  // Flushes `from` to the disk and renames it over `to`.
  bool replaceFile(const QString& from, const QUrl& to, fnd::Error* error) const;

 private:
  friend class DocumentController;
  void observeUndoManager();
  void stopObservingUndoManager();
  void synchronizeWindowTitles();
  void afterSave(const QUrl& url, const QString& typeName, SaveOperationType op);
  void askToSave(std::function<void(bool shouldClose)> completion);
  void saveBeforeClosing(std::function<void(bool shouldClose)> completion);
  QUrl newAutosaveURL() const;
  // Restarts the wait for a pause in the editing after which the document
  // autosaves; the controller's autosaving delay, none when it is zero.
  void scheduleAutosaving();
  void autosaveAfterIdleEditing();
  void recordAutosave() const;
  // After a save or a revert: the copy no longer holds unsaved changes.
  void discardAutosave();
  void removeAutosave();
  // Takes the document over from the copy a previous run left behind.
  void takeOverAutosave(const AutosaveRecord& record);
  // Copies `from` beside `to` and renames the copy over it.
  bool copyOver(const QString& from, const QUrl& to) const;
  fnd::Error moveFailure(const QString& to, const QString& reason) const;
  QStringList extensionsOfType(const QString& typeName) const;
  QUrl withTypeExtension(const QUrl& url, const SavePanelRequest& panel) const;
  // The open document whose file a save of `op` to `url` would replace and
  // must not; null when there is none.
  Document* openDocumentReplacedBy(const QUrl& url, SaveOperationType op);
  void refuseToReplaceOpenDocument(const QUrl& url, Document* open, SaveOperationType op);

  QUrl fileURL_;
  QString fileType_;
  QDateTime fileModificationDate_;
  QString displayName_;
  QString untitledName_;
  int changeCount_ = 0;
  bool savedStateUnreachable_ = false;
  bool unautosaved_ = false;
  fnd::UndoManager* undoManager_ = nullptr;
  std::unique_ptr<fnd::UndoManager> ownUndoManager_;
  std::vector<fnd::NotificationCenter::ObserverToken> undoTokens_;
  std::vector<std::unique_ptr<WindowController>> windowControllers_;
  DocumentController* controller_ = nullptr;
  SaveOperationType currentSaveOperation_ = SaveOperation;
  QUrl lastSavePanelURL_;
  QUrl autosavedContentsFileURL_;
  QTimer* autosaveTimer_ = nullptr;
  bool keepsAutosave_ = false;
  bool closed_ = false;
  PrintInfoPtr printInfo_;
  std::unique_ptr<PrintOperation> printOperation_;  // while its panel shows
  bool presentingError_ = false;
};

}  // namespace ui
