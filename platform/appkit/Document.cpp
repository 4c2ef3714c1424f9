#include "appkit/Document.h"

#include <QFile>
#include <QFileInfo>

#include "appkit/Application.h"
#include "appkit/DocumentController.h"
#include "appkit/ModalServices.h"
#include "appkit/PrintOperation.h"
#include "appkit/UserInterfaceItem.h"
#include "appkit/WindowController.h"
#include "foundation/Localized.h"
#include "foundation/UndoManager.h"

namespace ui {

Document::Document() {
  Responder::addAction(QStringLiteral("saveDocument:"), [this](QObject* s) { saveDocument(s); });
  Responder::addAction(QStringLiteral("saveDocumentAs:"),
                       [this](QObject* s) { saveDocumentAs(s); });
  Responder::addAction(QStringLiteral("saveDocumentTo:"),
                       [this](QObject* s) { saveDocumentTo(s); });
  Responder::addAction(QStringLiteral("revertDocumentToSaved:"),
                       [this](QObject* s) { revertDocumentToSaved(s); });
  Responder::addAction(QStringLiteral("moveDocument:"), [this](QObject* s) { moveDocument(s); });
  Responder::addAction(QStringLiteral("printDocument:"), [this](QObject* s) { printDocument(s); });
}

Document::~Document() {
  stopObservingUndoManager();
  // Controllers go before the members their windows may still read.
  windowControllers_.clear();
}

bool Document::initWithType(const QString& typeName, fnd::Error*) {
  fileType_ = typeName;
  if (controller_ || DocumentController::existingSharedDocumentController())
    untitledName_ =
        (controller_ ? controller_ : DocumentController::existingSharedDocumentController())
            ->nextUntitledDocumentName();
  return true;
}

bool Document::initWithContentsOfURL(const QUrl& url, const QString& typeName, fnd::Error* error) {
  if (!readFromURL(url, typeName, error)) return false;
  fileURL_ = url;
  fileType_ = typeName;
  fileModificationDate_ = QFileInfo(url.toLocalFile()).lastModified().toUTC();
  if (undoManager_) undoManager_->removeAllActions();
  updateChangeCount(ChangeCleared);
  return true;
}

// A name given to a document without a file (an imported image's, say)
// gives way to the file's once the document is saved somewhere else.
void Document::setFileURL(const QUrl& url) {
  willChangeValueForKey(QStringLiteral("fileURL"));
  if (url != fileURL_ && !url.isEmpty()) displayName_.clear();
  fileURL_ = url;
  didChangeValueForKey(QStringLiteral("fileURL"));
  synchronizeWindowTitles();
}

QString Document::displayName() const {
  if (!displayName_.isEmpty()) return displayName_;
  if (!fileURL_.isEmpty()) return QFileInfo(fileURL_.toLocalFile()).fileName();
  return untitledName_.isEmpty() ? fnd::localized("Untitled") : untitledName_;
}

void Document::setDisplayName(const QString& name) {
  willChangeValueForKey(QStringLiteral("displayName"));
  displayName_ = name;
  didChangeValueForKey(QStringLiteral("displayName"));
  synchronizeWindowTitles();
}

void Document::updateChangeCount(DocumentChangeType change) {
  const bool wasEdited = isDocumentEdited();
  switch (change) {
    case ChangeDone:
      // Done below the saved state, the new step drops the redo that led
      // back to it: no count brings the document back to clean.
      if (changeCount_ < 0) savedStateUnreachable_ = true;
      [[fallthrough]];
    case ChangeRedone:
      ++changeCount_;
      unautosaved_ = true;
      scheduleAutosaving();
      break;
    case ChangeUndone:
      --changeCount_;
      unautosaved_ = true;
      scheduleAutosaving();
      break;
    case ChangeCleared:
    case ChangeReadOtherContents:
      changeCount_ = 0;
      savedStateUnreachable_ = false;
      unautosaved_ = false;
      break;
    case ChangeAutosaved:
      unautosaved_ = false;
      break;
  }
  if (wasEdited == isDocumentEdited()) return;
  willChangeValueForKey(QStringLiteral("documentEdited"));
  didChangeValueForKey(QStringLiteral("documentEdited"));
  synchronizeWindowTitles();
  if (auto* app = Application::existingApplication()) app->setNeedsValidation();
}

fnd::UndoManager* Document::undoManager() {
  if (!undoManager_) {
    ownUndoManager_ = std::make_unique<fnd::UndoManager>();
    undoManager_ = ownUndoManager_.get();
    observeUndoManager();
  }
  return undoManager_;
}

void Document::setUndoManager(fnd::UndoManager* manager) {
  stopObservingUndoManager();
  undoManager_ = manager;
  if (manager != ownUndoManager_.get()) ownUndoManager_.reset();
  if (undoManager_) observeUndoManager();
}

// Closed top-level groups are changes done; undo and redo move the count
// back and forth, so undoing every change leaves the document clean.
void Document::observeUndoManager() {
  auto& center = fnd::NotificationCenter::defaultCenter();
  fnd::UndoManager* manager = undoManager_;
  undoTokens_.push_back(center.addObserverForName(
      fnd::UndoManagerDidCloseUndoGroupNotification, manager, nullptr,
      [this](const fnd::Notification& notification) {
        // An empty group (a click that changed nothing) is no change.
        if (notification.userInfo.value(fnd::UndoManagerGroupBecameUndoStepKey).toBool())
          updateChangeCount(ChangeDone);
      }));
  undoTokens_.push_back(
      center.addObserverForName(fnd::UndoManagerDidUndoChangeNotification, manager, nullptr,
                                [this](auto&) { updateChangeCount(ChangeUndone); }));
  undoTokens_.push_back(
      center.addObserverForName(fnd::UndoManagerDidRedoChangeNotification, manager, nullptr,
                                [this](auto&) { updateChangeCount(ChangeRedone); }));
}

void Document::stopObservingUndoManager() {
  for (auto token : undoTokens_) fnd::NotificationCenter::defaultCenter().removeObserver(token);
  undoTokens_.clear();
}

void Document::addWindowController(std::unique_ptr<WindowController> controller) {
  WindowController* c = controller.get();
  windowControllers_.push_back(std::move(controller));
  c->setDocument(this);
}

void Document::removeWindowController(WindowController* controller) {
  for (auto it = windowControllers_.begin(); it != windowControllers_.end(); ++it) {
    if (it->get() != controller) continue;
    WindowController* released = it->release();
    windowControllers_.erase(it);
    released->setDocument(nullptr);
    released->deleteLater();
    return;
  }
}

QList<WindowController*> Document::windowControllers() const {
  QList<WindowController*> list;
  for (const auto& c : windowControllers_) list.append(c.get());
  return list;
}

void Document::discardWindowControllers() { windowControllers_.clear(); }

void Document::showWindows() {
  for (WindowController* c : windowControllers()) c->showWindow();
}

Window* Document::windowForSheet() const {
  for (const auto& c : windowControllers_)
    if (c->isWindowLoaded()) return c->window();
  auto* app = Application::existingApplication();
  return app ? app->keyWindow() : nullptr;
}

void Document::close() {
  if (closed_) return;
  closed_ = true;
  if (autosaveTimer_) autosaveTimer_->stop();
  for (WindowController* c : windowControllers()) {
    c->close();
    removeWindowController(c);
  }
  if (!keepsAutosave_) removeAutosave();
  if (controller_) controller_->removeDocument(this);
}

bool Document::readFromURL(const QUrl& url, const QString& typeName, fnd::Error* error) {
  QFile file(url.toLocalFile());
  if (!file.open(QIODevice::ReadOnly))
    return fnd::fail(
        error,
        fnd::Error(
            fnd::CocoaErrorDomain,
            file.exists() ? fnd::FileReadNoPermissionError : fnd::FileReadNoSuchFileError,
            {{fnd::LocalizedDescriptionKey, fnd::localized("The file %1 could not be opened: %2.")
                                                .arg(file.fileName(), file.errorString())},
             {fnd::FilePathErrorKey, file.fileName()}}));
  return readFromData(file.readAll(), typeName, error);
}

bool Document::readFromData(const QByteArray&, const QString& typeName, fnd::Error* error) {
  return fnd::fail(error, fnd::CocoaErrorDomain, fnd::FileReadUnknownError,
                   fnd::localized("Documents of type %1 cannot be read.").arg(typeName));
}

bool Document::writeToURL(const QUrl& url, const QString& typeName, SaveOperationType, const QUrl&,
                          fnd::Error* error) {
  fnd::Error dataError;
  QByteArray data = dataOfType(typeName, &dataError);
  if (!dataError.isNull()) return fnd::fail(error, dataError);
  QFile file(url.toLocalFile());
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(data) != data.size() ||
      !file.flush())
    return fnd::fail(error, saveFailure(url, file.errorString()));
  return true;
}

QByteArray Document::dataOfType(const QString& typeName, fnd::Error* error) {
  fnd::fail(error, fnd::CocoaErrorDomain, fnd::FileWriteUnknownError,
            fnd::localized("Documents of type %1 cannot be written.").arg(typeName));
  return {};
}

fnd::Error Document::saveFailure(const QUrl& url, const QString& reason) const {
  const QString path = url.toLocalFile();
  return fnd::Error(
      fnd::CocoaErrorDomain, fnd::FileWriteUnknownError,
      {{fnd::LocalizedDescriptionKey,
        fnd::localized("The document “%1” could not be saved as %2.").arg(displayName(), path)},
       {fnd::LocalizedFailureReasonKey, reason},
       {fnd::FilePathErrorKey, path}});
}

fnd::Error Document::readFailure(const QUrl& url, const fnd::Error& readerError) {
  const QString path = url.toLocalFile();
  if (!readerError.isNull() && readerError.localizedDescription().contains(path))
    return readerError;
  QVariantMap info{
      {fnd::LocalizedDescriptionKey, fnd::localized("The file %1 could not be opened.").arg(path)},
      {fnd::FilePathErrorKey, path}};
  if (readerError.isNull())
    return fnd::Error(fnd::CocoaErrorDomain, fnd::FileReadCorruptFileError, info);
  info.insert(fnd::LocalizedFailureReasonKey, readerError.localizedDescription());
  const QString recovery = readerError.localizedRecoverySuggestion();
  if (!recovery.isEmpty()) info.insert(fnd::LocalizedRecoverySuggestionKey, recovery);
  info.insert(fnd::UnderlyingErrorKey, QVariant::fromValue(readerError));
  return fnd::Error(readerError.domain(), readerError.code(), info);
}

bool Document::canAsynchronouslyWriteToURL(const QUrl&, const QString&, SaveOperationType) const {
  return false;
}

bool Document::validateUserInterfaceItem(const UserInterfaceItem& item) {
  const QString action = item.action();
  if (action == QLatin1String("revertDocumentToSaved:"))
    return !fileURL_.isEmpty() && isDocumentEdited();
  if (action == QLatin1String("moveDocument:")) return !fileURL_.isEmpty();
  return true;
}

void Document::synchronizeWindowTitles() {
  for (const auto& c : windowControllers_) c->synchronizeWindowTitleWithDocumentName();
}

}  // namespace ui
