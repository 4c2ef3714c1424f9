#include "appkit/DocumentController.h"

#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <QtDebug>

#include "appkit/Application.h"
#include "appkit/AutosaveRecord.h"
#include "appkit/Document.h"
#include "appkit/ModalServices.h"
#include "appkit/RestorableState.h"
#include "appkit/UserInterfaceItem.h"
#include "appkit/WindowController.h"
#include "foundation/Localized.h"
#include "foundation/UserDefaults.h"
#include "imageio/ImageCodec.h"
#include "imageio/TypeIdentifiers.h"

namespace ui {

namespace {

DocumentController*& shared() {
  static DocumentController* controller = nullptr;
  return controller;
}

QList<DocumentType> declaredTypes() {
  QList<DocumentType> types{{TessalyDocumentType,
                             {TessalyDocumentExtension},
                             fnd::localized("ZOVA (Tessaly)"),
                             true,
                             true}};
  const QStringList writable = io::TypeIdentifiers::writableTypes();
  for (const QString& type : io::TypeIdentifiers::readableTypes())
    types.append({type, io::TypeIdentifiers::filenameExtensions(type),
                  io::TypeIdentifiers::localizedDescription(type), false, writable.contains(type)});
  return types;
}

}  // namespace

DocumentController::DocumentController() : types_(declaredTypes()) {
  if (!shared()) {
    shared() = this;
    auto* app = Application::sharedApplication();
    app->setDocumentControllerResponder(this);
    app->setDocumentReviewer(
        [this](std::function<void(bool)> proceed) { reviewUnsavedDocuments(proceed); });
  }
  Responder::addAction(QStringLiteral("newDocument:"), [this](QObject* s) { newDocument(s); });
  Responder::addAction(QStringLiteral("openDocument:"), [this](QObject* s) { openDocument(s); });
  Responder::addAction(QStringLiteral("clearRecentDocuments:"),
                       [this](QObject* s) { clearRecentDocuments(s); });
}

DocumentController::~DocumentController() {
  documents_.clear();
  if (shared() != this) return;
  shared() = nullptr;
  if (auto* app = Application::existingApplication()) {
    app->setDocumentControllerResponder(nullptr);
    app->setDocumentReviewer(nullptr);
  }
}

DocumentController* DocumentController::sharedDocumentController() {
  if (!shared()) new DocumentController;  // becomes the shared one; lives as long as the program
  return shared();
}

DocumentController* DocumentController::existingSharedDocumentController() { return shared(); }

QList<Document*> DocumentController::documents() const {
  QList<Document*> list;
  for (const auto& d : documents_) list.append(d.get());
  return list;
}

Document* DocumentController::currentDocument() const {
  auto* app = Application::existingApplication();
  return app ? documentForWindow(app->keyWindow()) : nullptr;
}

Document* DocumentController::documentForURL(const QUrl& url) const {
  const QString path = QFileInfo(url.toLocalFile()).canonicalFilePath();
  for (const auto& d : documents_)
    if (!d->fileURL().isEmpty() &&
        QFileInfo(d->fileURL().toLocalFile()).canonicalFilePath() == path)
      return d.get();
  return nullptr;
}

Document* DocumentController::documentForWindow(const Window* window) const {
  if (!window || !window->windowController()) return nullptr;
  return window->windowController()->document();
}

void DocumentController::addDocument(std::unique_ptr<Document> document) {
  document->controller_ = this;
  documents_.push_back(std::move(document));
}

void DocumentController::removeDocument(Document* document) {
  for (auto it = documents_.begin(); it != documents_.end(); ++it) {
    if (it->get() != document) continue;
    Document* released = it->release();
    documents_.erase(it);
    released->controller_ = nullptr;
    // Later: the caller may be one of the document's own functions.
    released->deleteLater();
    return;
  }
}

QString DocumentController::defaultType() const {
  for (const DocumentType& t : types_)
    if (t.isNative) return t.name;
  return types_.isEmpty() ? QString() : types_.first().name;
}

bool DocumentController::isNativeType(const QString& typeName) const {
  for (const DocumentType& t : types_)
    if (t.name == typeName) return t.isNative;
  return false;
}

QStringList DocumentController::fileExtensionsFromType(const QString& typeName) const {
  for (const DocumentType& t : types_)
    if (t.name == typeName) return t.extensions;
  return io::TypeIdentifiers::filenameExtensions(typeName);
}

QString DocumentController::typeFromFileExtension(const QString& extension) const {
  for (const DocumentType& t : types_)
    if (t.extensions.contains(extension, Qt::CaseInsensitive)) return t.name;
  return {};
}

QString DocumentController::displayNameForType(const QString& typeName) const {
  for (const DocumentType& t : types_)
    if (t.name == typeName) return t.displayName;
  return typeName;
}

QStringList DocumentController::writableTypesForSaveOperation(SaveOperationType op,
                                                              const QString& typeName) const {
  QStringList list;
  if (op != SaveToOperation && !typeName.isEmpty()) list.append(typeName);
  for (const DocumentType& t : types_)
    if (t.isWritable && !list.contains(t.name) && (op == SaveToOperation || t.isNative))
      list.append(t.name);
  return list;
}

QString DocumentController::typeForContentsOfURL(const QUrl& url, fnd::Error* error) const {
  const QString path = url.toLocalFile();
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    fnd::fail(
        error,
        fnd::Error(
            fnd::CocoaErrorDomain,
            file.exists() ? fnd::FileReadNoPermissionError : fnd::FileReadNoSuchFileError,
            {{fnd::LocalizedDescriptionKey,
              fnd::localized("The file %1 could not be opened: %2.").arg(path, file.errorString())},
             {fnd::FilePathErrorKey, path}}));
    return {};
  }
  const QByteArray head = file.read(4096);
  if (head.startsWith(QByteArray("SQLite format 3\0", 16))) return defaultType();
  QString type;
  if (io::ImageCodec::sniffType(head, &type) && !type.isEmpty()) return type;
  type = typeFromFileExtension(QFileInfo(path).suffix());
  if (!type.isEmpty() && !isNativeType(type)) return type;
  fnd::fail(error,
            fnd::Error(fnd::CocoaErrorDomain, fnd::FileReadCorruptFileError,
                       {{fnd::LocalizedDescriptionKey,
                         fnd::localized("The file %1 is in no format Tessaly can open.").arg(path)},
                        {fnd::FilePathErrorKey, path}}));
  return {};
}

DocumentController::DocumentClass DocumentController::documentClassForType(const QString&) const {
  return documentClass_;
}

std::unique_ptr<Document> DocumentController::makeUntitledDocumentOfType(const QString& typeName,
                                                                         fnd::Error* error) {
  DocumentClass make = documentClassForType(typeName);
  std::unique_ptr<Document> document = make ? make() : nullptr;
  if (!document) {
    fnd::fail(error, fnd::CocoaErrorDomain, fnd::FileReadUnknownError,
              fnd::localized("No kind of document handles the type %1.").arg(typeName));
    return nullptr;
  }
  document->controller_ = this;
  const bool ok = document->initWithType(typeName, error);
  document->controller_ = nullptr;
  return ok ? std::move(document) : nullptr;
}

std::unique_ptr<Document> DocumentController::makeDocumentWithContentsOfURL(const QUrl& url,
                                                                            const QString& typeName,
                                                                            fnd::Error* error) {
  DocumentClass make = documentClassForType(typeName);
  std::unique_ptr<Document> document = make ? make() : nullptr;
  if (!document) {
    fnd::fail(error, fnd::CocoaErrorDomain, fnd::FileReadUnknownError,
              fnd::localized("No kind of document opens %1.").arg(url.toLocalFile()));
    return nullptr;
  }
  fnd::Error readError;
  if (!document->initWithContentsOfURL(url, typeName, &readError)) {
    fnd::fail(error, Document::readFailure(url, readError));
    return nullptr;
  }
  return document;
}

QString DocumentController::nextUntitledDocumentName() {
  ++untitledCount_;
  const QString base = fnd::localized("Untitled");
  return untitledCount_ == 1 ? base : QStringLiteral("%1 %2").arg(base).arg(untitledCount_);
}

Document* DocumentController::openUntitledDocumentAndDisplay(bool display, fnd::Error* error) {
  std::unique_ptr<Document> made = makeUntitledDocumentOfType(defaultType(), error);
  if (!made) return nullptr;
  Document* document = made.get();
  addDocument(std::move(made));
  document->makeWindowControllers();
  if (display) document->showWindows();
  return document;
}

void DocumentController::openDocumentWithContentsOfURL(const QUrl& url, bool display,
                                                       OpenCompletion completion) {
  if (Document* open = documentForURL(url)) {
    if (display) open->showWindows();
    if (completion) completion(open, true, nullptr);
    return;
  }
  fnd::Error error;
  QString type = typeForContentsOfURL(url, &error);
  std::unique_ptr<Document> made =
      type.isEmpty() ? nullptr : makeDocumentWithContentsOfURL(url, type, &error);
  if (!made) {
    if (completion) completion(nullptr, false, &error);
    return;
  }
  Document* document = made.get();
  addDocument(std::move(made));
  document->makeWindowControllers();
  for (WindowController* c : document->windowControllers()) RestorableState::restore(*c);
  if (display) document->showWindows();
  noteNewRecentDocument(document);
  if (completion) completion(document, false, nullptr);
}

void DocumentController::newDocument(QObject*) {
  fnd::Error error;
  if (!openUntitledDocumentAndDisplay(true, &error)) presentError(error);
}

void DocumentController::openDocument(QObject*) {
  OpenPanelRequest panel;
  panel.allowsMultipleSelection = true;
  panel.allAllowedTypesTitle = fnd::localized("All supported images");
  panel.directoryURL = openPanelDirectoryURL();
  for (const DocumentType& t : types_) panel.allowedFileTypes.append(t.name);
  auto* app = Application::existingApplication();
  FilePanelResult result =
      ModalServices::shared().runOpenPanel(panel, app ? app->keyWindow() : nullptr);
  if (result.response != ModalResponseOK) return;
  noteOpenPanelDirectory(result.url());
  for (const QUrl& url : result.urls)
    openDocumentWithContentsOfURL(url, true, [this](Document*, bool, const fnd::Error* error) {
      if (error) presentError(*error);
    });
}

bool DocumentController::presentError(const fnd::Error& error) {
  auto* app = Application::existingApplication();
  ModalServices::shared().runAlert(AlertRequest::fromError(willPresentError(error)),
                                   app ? app->keyWindow() : nullptr);
  return false;
}

bool DocumentController::hasEditedDocuments() const {
  for (const auto& d : documents_)
    if (d->isDocumentEdited()) return true;
  return false;
}

void DocumentController::reviewUnsavedDocuments(std::function<void(bool proceed)> completion) {
  QList<QPointer<Document>> queue;
  for (const auto& d : documents_)
    if (d->isDocumentEdited()) queue.append(d.get());
  reviewFrom(queue, std::move(completion));
}

void DocumentController::reviewFrom(QList<QPointer<Document>> queue,
                                    std::function<void(bool)> completion) {
  while (!queue.isEmpty() && !queue.first()) queue.removeFirst();
  if (queue.isEmpty()) return completion(true);
  QPointer<Document> next = queue.takeFirst();
  next->canCloseDocument([this, queue, completion](bool shouldClose) {
    if (!shouldClose) return completion(false);
    reviewFrom(queue, completion);
  });
}

void DocumentController::closeAllDocuments(std::function<void(bool didCloseAll)> completion) {
  reviewUnsavedDocuments([this, completion](bool proceed) {
    if (proceed)
      for (Document* d : documents()) d->close();
    if (completion) completion(proceed);
  });
}

bool DocumentController::autosaveEditedDocumentsForNextLaunch() {
  bool all = true;
  for (Document* d : documents()) {
    fnd::Error error;
    if (d->autosaveForNextLaunch(&error)) continue;
    all = false;
    qWarning().noquote() << error.localizedDescription();
  }
  return all;
}

int DocumentController::reopenAutosavedDocuments() {
  int reopened = 0;
  QList<QUrl> held;
  for (const auto& d : documents_) held.append(d->autosavedContentsFileURL());
  for (const AutosaveRecord& record : AutosaveRecord::leftBehind()) {
    if (held.contains(record.contentsURL)) continue;
    fnd::Error error;
    std::unique_ptr<Document> made =
        makeDocumentWithContentsOfURL(record.contentsURL, record.contentsType, &error);
    // The copy stays where it is: the next start offers it again.
    if (!made) {
      const QString path = record.contentsURL.toLocalFile();
      presentError(
          fnd::Error(fnd::CocoaErrorDomain, fnd::FileReadCorruptFileError,
                     {{fnd::LocalizedDescriptionKey,
                       fnd::localized("The unsaved changes of “%1” kept in %2 could not be opened.")
                           .arg(record.displayName, path)},
                      {fnd::LocalizedFailureReasonKey, error.localizedDescription()},
                      {fnd::FilePathErrorKey, path}}));
      continue;
    }
    Document* document = made.get();
    addDocument(std::move(made));
    document->takeOverAutosave(record);
    document->makeWindowControllers();
    for (WindowController* c : document->windowControllers()) RestorableState::restore(*c);
    document->showWindows();
    ++reopened;
  }
  return reopened;
}

bool DocumentController::validateUserInterfaceItem(const UserInterfaceItem& item) {
  if (item.action() == QLatin1String("clearRecentDocuments:"))
    return !recentDocumentURLs().isEmpty();
  return true;
}

}  // namespace ui
