// Document: autosaving into the autosave folder after a pause in the
// editing, keeping the copy for the next start when the program is ended
// without asking, and taking a document over from a copy left behind.
#include <unistd.h>

#include <QDir>
#include <QFileInfo>
#include <QUuid>
#include <QtDebug>

#include "appkit/AutosaveRecord.h"
#include "appkit/Document.h"
#include "appkit/DocumentController.h"
#include "imageio/TypeIdentifiers.h"

namespace ui {

QUrl Document::newAutosaveURL() const {
  QDir folder(AutosaveRecord::folder());
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

bool Document::autosaveForNextLaunch(fnd::Error* error) {
  if (!isDocumentEdited()) return true;
  bool ok = true;
  if (unautosaved_ || autosavedContentsFileURL_.isEmpty()) {
    const QUrl url =
        autosavedContentsFileURL_.isEmpty() ? newAutosaveURL() : autosavedContentsFileURL_;
    saveToURL(url, autosavingFileType(), AutosaveElsewhereOperation,
              [&](const fnd::Error* failure) {
                ok = !failure;
                if (failure) fnd::fail(error, *failure);
              });
  }
  // An older copy is still better than none.
  keepsAutosave_ = !autosavedContentsFileURL_.isEmpty();
  return ok;
}

void Document::scheduleAutosaving() {
  const double delay = controller_ ? controller_->autosavingDelay() : 0;
  if (delay <= 0 || closed_) return;
  if (!autosaveTimer_) {
    autosaveTimer_ = new QTimer(this);
    autosaveTimer_->setSingleShot(true);
    connect(autosaveTimer_, &QTimer::timeout, this, &Document::autosaveAfterIdleEditing);
  }
  autosaveTimer_->start(int(delay * 1000));
}

// A failed autosave leaves the document edited and its changes unautosaved;
// the next pause in the editing tries again.
void Document::autosaveAfterIdleEditing() {
  if (closed_ || !unautosaved_ || !isDocumentEdited()) return;
  autosaveDocument([this](const fnd::Error* error) {
    if (error)
      qWarning().noquote() << QStringLiteral("Autosave of “%1” failed: %2")
                                  .arg(displayName(), error->localizedDescription());
  });
}

void Document::recordAutosave() const {
  AutosaveRecord record;
  record.contentsURL = autosavedContentsFileURL_;
  record.contentsType = autosavingFileType();
  record.fileURL = fileURL_;
  record.fileType = fileType_;
  record.displayName = displayName();
  record.pid = ::getpid();
  if (!record.write())
    qWarning().noquote()
        << QStringLiteral("The autosave record of “%1” could not be written.").arg(displayName());
}

void Document::discardAutosave() {
  if (autosavedContentsInUse())
    AutosaveRecord::removeRecord(autosavedContentsFileURL_);
  else
    removeAutosave();
}

void Document::removeAutosave() {
  if (autosavedContentsFileURL_.isEmpty()) return;
  AutosaveRecord::remove(autosavedContentsFileURL_);
  autosavedContentsFileURL_.clear();
}

// The copy holds changes the document's file lacks: the document is
// edited, at its own file and name, and the copy stays its autosave, now
// kept by this process.
void Document::takeOverAutosave(const AutosaveRecord& record) {
  if (record.fileURL.isEmpty()) untitledName_ = record.displayName;
  setFileURL(record.fileURL);
  if (!record.fileType.isEmpty()) fileType_ = record.fileType;
  fileModificationDate_ = record.fileURL.isEmpty()
                              ? QDateTime()
                              : QFileInfo(record.fileURL.toLocalFile()).lastModified().toUTC();
  autosavedContentsFileURL_ = record.contentsURL;
  recordAutosave();
  updateChangeCount(ChangeDone);
  updateChangeCount(ChangeAutosaved);
}

}  // namespace ui
