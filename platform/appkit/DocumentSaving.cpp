// Document: the save operations, the save panel, reverting, moving and
// autosaving.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryFile>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "appkit/Document.h"
#include "appkit/DocumentController.h"
#include "appkit/DocumentType.h"
#include "appkit/FileNameExtensions.h"
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

// The temporary files of saves carry the saving process's id in their name,
// ".<name>.saving-<pid>-XXXXXX" (and SQLite's "-journal" of one), so a
// later save can tell the ones whose process is gone (killed or crashed
// mid-save) from those of a save still running in another process.
const QString kSavingTag = QStringLiteral(".saving-");

bool isProcessGone(pid_t pid) {
  return pid > 0 && pid != ::getpid() && ::kill(pid, 0) != 0 && errno == ESRCH;
}

// Only our own regular files are removed; links and the rest are left.
void removeStaleTemporaryFilesBeside(const QUrl& url) {
  const QFileInfo target(url.toLocalFile());
  const QString prefix = QStringLiteral(".") + target.fileName() + kSavingTag;
  static const QRegularExpression rest(QStringLiteral("^(\\d+)-[A-Za-z0-9]{6}(-journal)?$"));
  const QDir folder = target.dir();
  for (const QString& name :
       folder.entryList({prefix + "*"}, QDir::Files | QDir::Hidden | QDir::System)) {
    const QRegularExpressionMatch match = rest.match(name.mid(prefix.size()));
    if (!match.hasMatch() || !isProcessGone(pid_t(match.captured(1).toLongLong()))) continue;
    const QByteArray path = QFile::encodeName(folder.filePath(name));
    struct stat info;
    if (::lstat(path.constData(), &info) == 0 && S_ISREG(info.st_mode) &&
        info.st_uid == ::geteuid())
      ::unlink(path.constData());
  }
}

}  // namespace

QString Document::temporaryFileBeside(const QUrl& url, fnd::Error* error) const {
  const QFileInfo target(url.toLocalFile());
  if (url.toLocalFile().isEmpty()) {
    fnd::fail(error, saveFailure(url, fnd::localized("It is not a local file.")));
    return {};
  }
  // In the destination folder, so the rename never crosses file systems.
  QTemporaryFile temporary(target.dir().filePath(
      QStringLiteral(".%1%2%3-XXXXXX").arg(target.fileName(), kSavingTag).arg(::getpid())));
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
      std::rename(QFile::encodeName(from).constData(), QFile::encodeName(path).constData()) != 0 ||
      // The rename lives in the folder: until the folder is synced, a power
      // cut can bring back the old file after a save reported as done.
      !syncFile(QFileInfo(path).absolutePath()))
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
  removeStaleTemporaryFilesBeside(url);
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
    recordAutosave();
    updateChangeCount(ChangeAutosaved);
    return;
  }
  if (op == SaveToOperation) return;
  if (url != fileURL_) setFileURL(url);
  fileType_ = typeName;
  fileModificationDate_ = QFileInfo(url.toLocalFile()).lastModified().toUTC();
  updateChangeCount(ChangeCleared);
  discardAutosave();
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

QStringList Document::extensionsOfType(const QString& typeName) const {
  if (controller_) return controller_->fileExtensionsFromType(typeName);
  if (typeName == TessalyDocumentType) return {TessalyDocumentExtension};
  return io::TypeIdentifiers::filenameExtensions(typeName);
}

// The name the panel proposes carries the extension of the type the save
// will write (the panel's first type, which prepareSavePanel may have set),
// in place of the document's own.
QString Document::proposedSaveName(const SavePanelRequest& panel) const {
  const QString type = panel.allowedFileTypes.value(0, fileType_);
  QStringList replaceable = extensionsOfType(fileType_) + extensionsOfType(type);
  return FileNameExtensions::replacing(displayName(), replaceable, extensionsOfType(type).value(0));
}

// A name typed without one of the panel's extensions gets the first type's,
// so the file's name always says what it holds.
QUrl Document::withTypeExtension(const QUrl& url, const SavePanelRequest& panel) const {
  if (panel.allowsOtherFileTypes || panel.allowedFileTypes.isEmpty() || !url.isLocalFile())
    return url;
  QStringList allowed;
  for (const QString& type : panel.allowedFileTypes) allowed += extensionsOfType(type);
  const QString extension = extensionsOfType(panel.allowedFileTypes.first()).value(0);
  if (extension.isEmpty() || FileNameExtensions::hasOneOf(url.toLocalFile(), allowed)) return url;
  return QUrl::fromLocalFile(url.toLocalFile() + u'.' + extension);
}

void Document::runModalSavePanelForSaveOperation(SaveOperationType op,
                                                 std::function<void(bool didSave)> completion) {
  currentSaveOperation_ = op;
  SavePanelRequest panel;
  panel.allowedFileTypes = writableTypesForSaveOperation(op);
  if (!fileURL_.isEmpty())
    panel.directoryURL = QUrl::fromLocalFile(QFileInfo(fileURL_.toLocalFile()).path());
  else if (DocumentController* controller = DocumentController::existingSharedDocumentController())
    panel.directoryURL = controller->openPanelDirectoryURL();  // not the program's working folder
  if (!prepareSavePanel(panel)) {
    if (completion) completion(false);
    return;
  }
  if (panel.nameFieldStringValue.isEmpty()) panel.nameFieldStringValue = proposedSaveName(panel);
  QPointer<Document> self(this);
  ModalServices::shared().beginSavePanelSheet(
      panel, windowForSheet(), [self, op, panel, completion](const FilePanelResult& result) {
        if (!self || result.response != ModalResponseOK || result.url().isEmpty()) {
          if (completion) completion(false);
          return;
        }
        // The name chosen, which the user may have agreed to replace, and
        // the one written must both be free of open documents.
        const QUrl url = self->withTypeExtension(result.url(), panel);
        Document* open = self->openDocumentReplacedBy(result.url(), op);
        if (!open) open = self->openDocumentReplacedBy(url, op);
        if (open) {
          self->refuseToReplaceOpenDocument(open->fileURL(), open, op);
          if (completion) completion(false);
          return;
        }
        self->lastSavePanelURL_ = url;
        self->saveToURL(url, self->fileTypeFromLastRunSavePanel(), op,
                        [self, completion](const fnd::Error* error) {
                          if (error && self) self->presentErrorModalForWindow(*error, {});
                          if (completion) completion(!error);
                        });
      });
}

namespace {

bool sameFile(const QString& a, const QString& b) {
  struct stat first, second;
  if (::stat(QFile::encodeName(a).constData(), &first) != 0 ||
      ::stat(QFile::encodeName(b).constData(), &second) != 0)
    return false;
  return first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

}  // namespace

// An export is a copy: it may never take the place of an open document's
// file, its own included. Save As may replace only the document's own file.
Document* Document::openDocumentReplacedBy(const QUrl& url, SaveOperationType op) {
  QList<Document*> open = controller_ ? controller_->documents() : QList<Document*>();
  if (!open.contains(this)) open.append(this);
  for (Document* document : open) {
    if (document->fileURL().isEmpty() || (document == this && op != SaveToOperation)) continue;
    if (sameFile(document->fileURL().toLocalFile(), url.toLocalFile())) return document;
  }
  return nullptr;
}

void Document::refuseToReplaceOpenDocument(const QUrl& url, Document* open, SaveOperationType op) {
  AlertRequest alert;
  alert.style = AlertStyle::Critical;
  alert.messageText = fnd::localized("“%1” is the file of the open document “%2”.")
                          .arg(QFileInfo(url.toLocalFile()).fileName(), open->displayName());
  alert.informativeText =
      op == SaveToOperation
          ? fnd::localized(
                "Exporting over it would replace the document with a flattened image. "
                "Choose another name or folder for the export.")
          : fnd::localized(
                "Saving over it would replace that document. Choose another name or "
                "folder.");
  ModalServices::shared().beginAlertSheet(alert, windowForSheet(), [](long) {});
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
  discardAutosave();
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

}  // namespace ui
