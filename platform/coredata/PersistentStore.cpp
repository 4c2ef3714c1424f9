#include "coredata/PersistentStore.h"

#include <QFile>

#include "coredata/PersistentStoreCoordinator.h"
#include "coredata/StoreMetadata.h"

namespace cd {

PersistentStore::PersistentStore(PersistentStoreCoordinator* coordinator, QString type, QUrl url,
                                 QVariantMap options)
    : coordinator_(coordinator),
      type_(std::move(type)),
      url_(std::move(url)),
      options_(std::move(options)) {}

PersistentStore::~PersistentStore() = default;

bool PersistentStore::relocate(const QUrl&, fnd::Error* error) {
  return fnd::fail(error, fnd::CocoaErrorDomain, fnd::PersistentStoreOperationError,
                   QStringLiteral("A store of type %1 cannot move to another file.").arg(type_));
}

bool PersistentStore::copyContentsTo(const QString& path, fnd::Error* error) {
  if (QFile::copy(url_.toLocalFile(), path)) return true;
  return fnd::fail(error, fnd::CocoaErrorDomain, fnd::FileWriteUnknownError,
                   QStringLiteral("The store could not be copied to %1.").arg(path));
}

QString PersistentStore::identifier() const {
  return metadata_.value(StoreMetadata::StoreUUIDKey).toString();
}

bool PersistentStore::isReadOnly() const {
  return options_.value(ReadOnlyPersistentStoreOption).toBool();
}

void PersistentStore::setMetadata(const QVariantMap& metadata) {
  // The store's own keys describe the file and are not the caller's to change.
  QVariantMap merged = metadata;
  for (const QString& key : StoreMetadata::reservedKeys())
    if (metadata_.contains(key)) merged.insert(key, metadata_.value(key));
  if (merged == metadata_) return;
  metadata_ = merged;
  metadataChanged_ = true;
}

}  // namespace cd
