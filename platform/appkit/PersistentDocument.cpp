#include "appkit/PersistentDocument.h"

#include <QFile>
#include <QFileInfo>

#include "appkit/DocumentController.h"
#include "coredata/ManagedObjectContext.h"
#include "coredata/PersistentStoreCoordinator.h"
#include "coredata/SQLiteJournal.h"
#include "foundation/Localized.h"

namespace ui {

namespace {

cd::ManagedObjectModelPtr& defaultModel() {
  static cd::ManagedObjectModelPtr model;
  return model;
}

bool sameFile(const QUrl& a, const QUrl& b) {
  const QFileInfo x(a.toLocalFile()), y(b.toLocalFile());
  return x.absoluteFilePath() == y.absoluteFilePath() ||
         (x.exists() && x.canonicalFilePath() == y.canonicalFilePath());
}

}  // namespace

PersistentDocument::PersistentDocument() = default;

PersistentDocument::~PersistentDocument() { discardWindowControllers(); }

cd::ManagedObjectModelPtr PersistentDocument::managedObjectModel() const { return defaultModel(); }

void PersistentDocument::setDefaultManagedObjectModel(cd::ManagedObjectModelPtr model) {
  defaultModel() = std::move(model);
}

cd::PersistentStoreCoordinator* PersistentDocument::persistentStoreCoordinator() {
  if (!coordinator_)
    coordinator_ = std::make_unique<cd::PersistentStoreCoordinator>(managedObjectModel());
  return coordinator_.get();
}

cd::ManagedObjectContext* PersistentDocument::managedObjectContext() {
  if (!context_) {
    auto context = std::make_unique<cd::ManagedObjectContext>();
    context->setPersistentStoreCoordinator(persistentStoreCoordinator());
    setManagedObjectContext(std::move(context));
  }
  return context_.get();
}

void PersistentDocument::setManagedObjectContext(
    std::unique_ptr<cd::ManagedObjectContext> context) {
  // The undo manager goes first: the old context's dies with it.
  setUndoManager(context ? context->undoManager() : nullptr);
  context_ = std::move(context);
}

cd::PersistentStore* PersistentDocument::persistentStore() const {
  if (!coordinator_ || coordinator_->persistentStores().isEmpty()) return nullptr;
  return coordinator_->persistentStores().first();
}

QString PersistentDocument::persistentStoreTypeForFileType(const QString& fileType) const {
  DocumentController* controller = documentController()
                                       ? documentController()
                                       : DocumentController::existingSharedDocumentController();
  const bool native =
      controller ? controller->isNativeType(fileType) : fileType == TessalyDocumentType;
  return native ? cd::SQLiteStoreType : QString();
}

bool PersistentDocument::configurePersistentStoreCoordinatorForURL(const QUrl& url,
                                                                   const QString& fileType,
                                                                   const QString& configuration,
                                                                   const QVariantMap& storeOptions,
                                                                   fnd::Error* error) {
  const QString storeType = persistentStoreTypeForFileType(fileType);
  if (storeType.isEmpty()) return Document::readFromURL(url, fileType, error);
  managedObjectContext();
  QVariantMap options = storeOptions;
  if (!options.contains(cd::SQLitePragmasOption))
    options.insert(cd::SQLitePragmasOption,
                   QVariantMap{{QStringLiteral("journal_mode"), QStringLiteral("DELETE")}});
  return persistentStoreCoordinator()->addPersistentStoreWithType(storeType, configuration, url,
                                                                  options, error);
}

bool PersistentDocument::detachStores(fnd::Error* error) {
  if (context_) context_->reset();
  if (!coordinator_) return true;
  for (cd::PersistentStore* store : coordinator_->persistentStores())
    if (!coordinator_->removePersistentStore(store, error)) return false;
  return true;
}

// The file is read into a new coordinator and context, and the document's
// own are dropped only once that read succeeded: a revert that fails keeps
// the store, the objects and the unsaved changes.
bool PersistentDocument::readFromURL(const QUrl& url, const QString& typeName, fnd::Error* error) {
  std::unique_ptr<cd::ManagedObjectContext> oldContext = std::move(context_);
  std::unique_ptr<cd::PersistentStoreCoordinator> oldCoordinator = std::move(coordinator_);
  const bool ok = configurePersistentStoreCoordinatorForURL(url, typeName, QString(), {}, error);
  // A type read as plain bytes makes no context: the old one stays, emptied.
  if (ok && context_) {
    oldContext.reset();  // before the coordinator it reads from
    return true;
  }
  std::unique_ptr<cd::ManagedObjectContext> newContext = std::move(context_);
  std::unique_ptr<cd::PersistentStoreCoordinator> newCoordinator = std::move(coordinator_);
  coordinator_ = std::move(oldCoordinator);
  setManagedObjectContext(std::move(oldContext));
  newContext.reset();
  newCoordinator.reset();
  return ok && detachStores(error);
}

bool PersistentDocument::writeToURL(const QUrl& url, const QString& typeName, SaveOperationType op,
                                    const QUrl& originalContentsURL, fnd::Error* error) {
  if (persistentStoreTypeForFileType(typeName).isEmpty())
    return Document::writeToURL(url, typeName, op, originalContentsURL, error);
  cd::PersistentStore* store = persistentStore();
  if (!store || !sameFile(store->URL(), url))
    return fnd::fail(error, saveFailure(url, fnd::localized("No store is attached at that file.")));
  if (!store->isAtItsFile()) return fnd::fail(error, storeFileGone(url));
  managedObjectContext()->processPendingChanges();
  fnd::Error saveError;
  if (managedObjectContext()->save(&saveError)) {
    // Replaced while the save ran: what it wrote reached no file.
    return store->isAtItsFile() || fnd::fail(error, storeFileGone(url));
  }
  if (saveError.isNull())
    saveError = saveFailure(url, fnd::localized("The store refused the changes."));
  return fnd::fail(error, saveError);
}

// The store's connection still reads the file it opened, so the document
// keeps everything and Save As can write it to a new file.
fnd::Error PersistentDocument::storeFileGone(const QUrl& url) const {
  const QString path = url.toLocalFile();
  return fnd::Error(
      fnd::CocoaErrorDomain, fnd::FileWriteUnknownError,
      {{fnd::LocalizedDescriptionKey,
        fnd::localized("The document “%1” could not be saved: the file %2 was replaced, moved or "
                       "removed by another program.")
            .arg(displayName(), path)},
       {fnd::LocalizedRecoverySuggestionKey,
        fnd::localized("Choose File › Save As… to save the document in a new file.")},
       {fnd::FilePathErrorKey, path}});
}

bool PersistentDocument::writeSafelyToURL(const QUrl& url, const QString& typeName,
                                          SaveOperationType op, fnd::Error* error) {
  if (persistentStoreTypeForFileType(typeName).isEmpty())
    return Document::writeSafelyToURL(url, typeName, op, error);
  cd::PersistentStore* store = persistentStore();
  const bool toCopy = op == SaveToOperation || op == AutosaveElsewhereOperation;
  // In place: one SQLite transaction, which a failure or a crash rolls back.
  if (store && !toCopy && sameFile(store->URL(), url))
    return writeToURL(url, typeName, op, url, error);
  return writeStoreToNewFile(url, typeName, op, error);
}

// The store is written into a new file beside the destination (a copy of
// the current store with the changes saved into it, or a new store), then
// renamed over it; the old file is never written. The store stays on the
// new file, which now holds everything the context saved: after Save To or
// an autosave elsewhere the document's own file is older than the store,
// and its next Save copies the store over it the same way.
bool PersistentDocument::writeStoreToNewFile(const QUrl& url, const QString& typeName,
                                             SaveOperationType op, fnd::Error* error) {
  const QString temporaryPath = temporaryFileBeside(url, error);
  if (temporaryPath.isEmpty()) return false;
  QFile::remove(temporaryPath);
  const QUrl temporaryURL = QUrl::fromLocalFile(temporaryPath);
  cd::PersistentStoreCoordinator* coordinator = persistentStoreCoordinator();
  cd::PersistentStore* store = persistentStore();
  const QUrl oldURL = store ? store->URL() : QUrl();
  fnd::Error failure;
  bool ok;
  if (store) {
    // Copied through the store, not from its file, which another program
    // may have replaced meanwhile.
    ok = store->copyContentsTo(temporaryPath, &failure);
    ok = ok && coordinator->setURL(temporaryURL, store, &failure);
    ok = ok && writeToURL(temporaryURL, typeName, op, oldURL, &failure);
    if (!ok && store->URL() != oldURL) coordinator->setURL(oldURL, store);
  } else {
    ok = configurePersistentStoreCoordinatorForURL(temporaryURL, typeName, QString(), {},
                                                   &failure) &&
         writeToURL(temporaryURL, typeName, op, QUrl(), &failure);
    if (!ok && persistentStore()) coordinator->removePersistentStore(persistentStore());
  }
  // A journal left beside the destination by an unfinished save of the
  // file there would otherwise be played into the new file.
  ok = ok && cd::SQLiteJournal::clearForReplacement(url.toLocalFile(), &failure);
  ok = ok && replaceFile(temporaryPath, url, &failure);
  if (!ok) {
    QFile::remove(temporaryPath);
    QFile::remove(cd::SQLiteJournal::pathFor(temporaryPath));
    if (failure.isNull())
      failure = saveFailure(url, fnd::localized("The store could not be written."));
    return fnd::fail(error, failure);
  }
  // Reconnects under the final name, so SQLite's journal sits beside it.
  return coordinator->setURL(url, persistentStore(), error);
}

bool PersistentDocument::autosavedContentsInUse() const {
  cd::PersistentStore* store = persistentStore();
  return store && !autosavedContentsFileURL().isEmpty() &&
         sameFile(store->URL(), autosavedContentsFileURL());
}

bool PersistentDocument::moveToURL(const QUrl& url, fnd::Error* error) {
  if (persistentStore() && !cd::SQLiteJournal::clearForReplacement(url.toLocalFile(), error))
    return false;
  if (!Document::moveToURL(url, error)) return false;
  cd::PersistentStore* store = persistentStore();
  return !store || persistentStoreCoordinator()->setURL(url, store, error);
}

}  // namespace ui
