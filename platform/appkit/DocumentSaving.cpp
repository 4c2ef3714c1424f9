// Document: the save operations, the save panel, reverting, moving and
// autosaving.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>
#include <QUuid>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "appkit/Document.h"
#include "appkit/DocumentController.h"
#include "appkit/ModalServices.h"
#include "appkit/RestorableState.h"
#include "appkit/Window.h"
#include "appkit/WindowController.h"
#include "foundation/Localized.h"
#include "foundation/UndoManager.h"
#include "imageio/TypeIdentifiers.h"

namespace ui {

namespace {

// The bytes reach the disk before the rename makes them the file.
bool syncFile(const QString& path) {
  int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool ok = ::fsync(fd) == 0;
  ::close(fd);
  return ok;
}

// Read from /proc where it can be: umask(2) alone cannot read it without
// setting it, which would race with files other threads are creating.
mode_t processUmask() {
  QFile status(QStringLiteral("/proc/self/status"));
  if (status.open(QIODevice::ReadOnly))
    while (!status.atEnd()) {
      const QByteArray line = status.readLine();
      bool ok = false;
      const uint mask = line.startsWith("Umask:") ? line.mid(6).trimmed().toUInt(&ok, 8) : 0;
      if (ok) return mode_t(mask);
    }
  const mode_t mask = ::umask(022);
  ::umask(mask);
  return mask;
}

// The temporary file starts owner-only. A replaced file keeps its own
// mode; a new one gets what any new file gets, 0666 less the umask.
bool giveModeOfDestination(const QString& from, const QString& to) {
  struct stat existing;
  const mode_t mode = ::stat(QFile::encodeName(to).constData(), &existing) == 0
                          ? existing.st_mode & 07777
                          : 0666 & ~processUmask();
  return ::chmod(QFile::encodeName(from).constData(), mode) == 0;
}

}  // namespace

QString Document::temporaryFileBeside(const QUrl& url, fnd::Error* error) const {
  const QFileInfo target(url.toLocalFile());
  if (url.toLocalFile().isEmpty()) {
    fnd::fail(error, saveFailure(url, fnd::localized("It is not a local file.")));
    return {};
  }
  // In the destination folder, so the rename never crosses file systems.
  QTemporaryFile temporary(
      target.dir().filePath(QStringLiteral(".%1.XXXXXX").arg(target.fileName())));
  temporary.setAutoRemove(false);
  if (!temporary.open()) {
    fnd::fail(error, saveFailure(url, fnd::localized("The folder %1 cannot be written to: %2.")
                                          .arg(target.dir().path(), temporary.errorString())));
    return {};
  }
  return temporary.fileName();
}

bool Document::replaceFile(const QString& from, const QUrl& to, fnd::Error* error) const {
  const QString path = to.toLocalFile();
  if (!giveModeOfDestination(from, path) || !syncFile(from) ||
      std::rename(QFile::encodeName(from).constData(), QFile::encodeName(path).constData()) != 0)
    return fnd::fail(error, saveFailure(to, QString::fromLocal8Bit(std::strerror(errno))));
  return true;
}

bool Document::writeSafelyToURL(const QUrl& url, const QString& typeName, SaveOperationType op,
                                fnd::Error* error) {
  const QString temporaryPath = temporaryFileBeside(url, error);
  if (temporaryPath.isEmpty()) return false;
  const QUrl original = (op == SaveOperation || op == AutosaveInPlaceOperation) ? fileURL_ : QUrl();
  fnd::Error writeError;
  if (writeToURL(QUrl::fromLocalFile(temporaryPath), typeName, op, original, &writeError) &&
      writeError.isNull() && replaceFile(temporaryPath, url, &writeError))
    return true;
  QFile::remove(temporaryPath);
  if (writeError.isNull())
    writeError = saveFailure(url, fnd::localized("The writer gave no reason."));
  return fnd::fail(error, writeError);
}

void Document::saveToURL(const QUrl& url, const QString& typeName, SaveOperationType op,
                         Completion completion) {
  // The step of the current pass ends before the file is written: closed
  // after the save it would mark the saved document edited again.
  if (undoManager_) undoManager_->closeAutomaticGroup();
  fnd::Error error;
  const bool ok = writeSafelyToURL(url, typeName, op, &error);
  if (ok) afterSave(url, typeName, op);
  // Whatever failed inside, the user learns which document and which file.
  if (!ok && !error.localizedDescription().contains(url.toLocalFile())) {
    fnd::Error wrapped = saveFailure(url, error.localizedDescription());
    QVariantMap info = wrapped.userInfo();
    info.insert(fnd::UnderlyingErrorKey, QVariant::fromValue(error));
    error = fnd::Error(wrapped.domain(), wrapped.code(), info);
  }
  if (completion) completion(ok ? nullptr : &error);
}

void Document::afterSave(const QUrl& url, const QString& typeName, SaveOperationType op) {
  if (op == AutosaveElsewhereOperation) {
    autosavedContentsFileURL_ = url;
    updateChangeCount(ChangeAutosaved);
    return;
  }
  if (op == SaveToOperation) return;
  if (url != fileURL_) setFileURL(url);
  fileType_ = typeName;
  fileModificationDate_ = QFileInfo(url.toLocalFile()).lastModified().toUTC();
  updateChangeCount(ChangeCleared);
  if (!autosavedContentsFileURL_.isEmpty()) {
    QFile::remove(autosavedContentsFileURL_.toLocalFile());
    autosavedContentsFileURL_.clear();
  }
  if (controller_ && op != AutosaveInPlaceOperation) controller_->noteNewRecentDocument(this);
}

QStringList Document::writableTypesForSaveOperation(SaveOperationType op) const {
  if (controller_) return controller_->writableTypesForSaveOperation(op, fileType_);
  return {fileType_};
}

bool Document::prepareSavePanel(SavePanelRequest&) { return true; }

QString Document::fileTypeFromLastRunSavePanel() const {
  const QString extension = QFileInfo(lastSavePanelURL_.toLocalFile()).suffix();
  for (const QString& type : writableTypesForSaveOperation(currentSaveOperation_)) {
    const QStringList extensions = controller_ ? controller_->fileExtensionsFromType(type)
                                               : io::TypeIdentifiers::filenameExtensions(type);
    if (extensions.contains(extension, Qt::CaseInsensitive)) return type;
  }
  return fileType_;
}

void Document::runModalSavePanelForSaveOperation(SaveOperationType op,
                                                 std::function<void(bool didSave)> completion) {
  currentSaveOperation_ = op;
  SavePanelRequest panel;
  panel.allowedFileTypes = writableTypesForSaveOperation(op);
  QString name = displayName();
  const QString extension = controller_
                                ? controller_->fileExtensionsFromType(fileType_).value(0)
                                : io::TypeIdentifiers::preferredFilenameExtension(fileType_);
  if (!extension.isEmpty() && !name.endsWith("." + extension, Qt::CaseInsensitive))
    name += "." + extension;
  panel.nameFieldStringValue = name;
  if (!fileURL_.isEmpty())
    panel.directoryURL = QUrl::fromLocalFile(QFileInfo(fileURL_.toLocalFile()).path());
  if (!prepareSavePanel(panel)) {
    if (completion) completion(false);
    return;
  }
  QPointer<Document> self(this);
  ModalServices::shared().beginSavePanelSheet(
      panel, windowForSheet(), [self, op, completion](const FilePanelResult& result) {
        if (!self || result.response != ModalResponseOK || result.url().isEmpty()) {
          if (completion) completion(false);
          return;
        }
        self->lastSavePanelURL_ = result.url();
        self->saveToURL(result.url(), self->fileTypeFromLastRunSavePanel(), op,
                        [self, completion](const fnd::Error* error) {
                          if (error && self) self->presentErrorModalForWindow(*error, {});
                          if (completion) completion(!error);
                        });
      });
}

void Document::saveDocument(QObject*) {
  if (fileURL_.isEmpty()) return runModalSavePanelForSaveOperation(SaveAsOperation, {});
  saveToURL(fileURL_, fileType_, SaveOperation, [this](const fnd::Error* error) {
    if (error) presentErrorModalForWindow(*error, {});
  });
}

void Document::saveDocumentAs(QObject*) { runModalSavePanelForSaveOperation(SaveAsOperation, {}); }

void Document::saveDocumentTo(QObject*) { runModalSavePanelForSaveOperation(SaveToOperation, {}); }

void Document::revertDocumentToSaved(QObject*) {
  if (fileURL_.isEmpty()) return;
  AlertRequest alert;
  alert.messageText =
      fnd::localized(
          "Do you want to revert to the most recently saved version of the document “%1”?")
          .arg(displayName());
  alert.informativeText = fnd::localized("Your current changes will be lost.");
  alert.buttons = {fnd::localized("Revert"), fnd::localized("Cancel")};
  QPointer<Document> self(this);
  ModalServices::shared().beginAlertSheet(alert, windowForSheet(), [self](long response) {
    if (!self || response != AlertFirstButtonReturn) return;
    fnd::Error error;
    if (!self->revertToContentsOfURL(self->fileURL_, self->fileType_, &error))
      self->presentErrorModalForWindow(error, {});
  });
}

bool Document::revertToContentsOfURL(const QUrl& url, const QString& typeName, fnd::Error* error) {
  fnd::Error readError;
  if (!readFromURL(url, typeName, &readError)) return fnd::fail(error, readFailure(url, readError));
  fileModificationDate_ = QFileInfo(url.toLocalFile()).lastModified().toUTC();
  if (undoManager_) undoManager_->removeAllActions();
  updateChangeCount(ChangeCleared);
  return true;
}

void Document::moveDocument(QObject*) {
  if (fileURL_.isEmpty()) return;
  SavePanelRequest panel;
  panel.prompt = fnd::localized("Move");
  panel.nameFieldStringValue = QFileInfo(fileURL_.toLocalFile()).fileName();
  panel.allowedFileTypes =
      controller_ ? controller_->fileExtensionsFromType(fileType_) : QStringList();
  QPointer<Document> self(this);
  ModalServices::shared().beginSavePanelSheet(panel, windowForSheet(),
                                              [self](const FilePanelResult& result) {
                                                if (!self || result.response != ModalResponseOK)
                                                  return;
                                                fnd::Error error;
                                                if (!self->moveToURL(result.url(), &error))
                                                  self->presentErrorModalForWindow(error, {});
                                              });
}

// rename(2) replaces the destination in one step; across file systems the
// file is copied beside the destination and renamed over it, and only then
// is the original removed. The destination is never removed first, so a
// move that fails leaves both files as they were.
bool Document::moveToURL(const QUrl& url, fnd::Error* error) {
  const QString from = fileURL_.toLocalFile(), to = url.toLocalFile();
  if (std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) != 0) {
    const int code = errno;
    if (code != EXDEV || !copyOver(from, url))
      return fnd::fail(error, moveFailure(to, QString::fromLocal8Bit(std::strerror(code))));
    QFile::remove(from);
  }
  setFileURL(url);
  if (controller_) controller_->noteNewRecentDocument(this);
  return true;
}

bool Document::copyOver(const QString& from, const QUrl& to) const {
  const QString temporaryPath = temporaryFileBeside(to, nullptr);
  if (temporaryPath.isEmpty()) return false;
  QFile::remove(temporaryPath);
  // QFile::copy gives the copy the original's mode, which a move keeps.
  if (QFile::copy(from, temporaryPath) && syncFile(temporaryPath) &&
      std::rename(QFile::encodeName(temporaryPath).constData(),
                  QFile::encodeName(to.toLocalFile()).constData()) == 0)
    return true;
  QFile::remove(temporaryPath);
  return false;
}

fnd::Error Document::moveFailure(const QString& to, const QString& reason) const {
  return fnd::Error(
      fnd::CocoaErrorDomain, fnd::FileWriteUnknownError,
      {{fnd::LocalizedDescriptionKey,
        fnd::localized("The document “%1” could not be moved to %2.").arg(displayName(), to)},
       {fnd::LocalizedFailureReasonKey, reason},
       {fnd::FilePathErrorKey, to}});
}

QUrl Document::newAutosaveURL() const {
  QDir folder(RestorableState::stateFolder() + QStringLiteral("/Autosave Information"));
  folder.mkpath(QStringLiteral("."));
  QString extension = controller_
                          ? controller_->fileExtensionsFromType(autosavingFileType()).value(0)
                          : io::TypeIdentifiers::preferredFilenameExtension(autosavingFileType());
  QString name = displayName() + QStringLiteral(" (") +
                 QUuid::createUuid().toString(QUuid::WithoutBraces).left(8) + QStringLiteral(")");
  if (!extension.isEmpty()) name += "." + extension;
  return QUrl::fromLocalFile(folder.filePath(name));
}

void Document::autosaveDocument(Completion completion) {
  if (!unautosaved_) {
    if (completion) completion(nullptr);
    return;
  }
  if (autosavesInPlace() && !fileURL_.isEmpty())
    return saveToURL(fileURL_, fileType_, AutosaveInPlaceOperation, std::move(completion));
  QUrl url = autosavedContentsFileURL_.isEmpty() ? newAutosaveURL() : autosavedContentsFileURL_;
  saveToURL(url, autosavingFileType(), AutosaveElsewhereOperation, std::move(completion));
}

}  // namespace ui
