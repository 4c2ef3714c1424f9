// The metadata dictionary of a store: its type, UUID, the model's entity
// version hashes and version identifiers, and whatever keys the program
// adds. Kept in the store's Z_METADATA table as a binary property list, and
// readable without attaching the store to decide whether it needs migrating.
#pragma once

#include <QByteArray>
#include <QStringList>
#include <QVariantMap>

#include "foundation/Error.h"

namespace cd {

class ManagedObjectModel;

class StoreMetadata {
 public:
  static inline const QString StoreTypeKey = QStringLiteral("NSStoreType");
  static inline const QString StoreUUIDKey = QStringLiteral("NSStoreUUID");
  // A dictionary: entity name -> 32-byte version hash (data).
  static inline const QString ModelVersionHashesKey = QStringLiteral("NSStoreModelVersionHashes");
  static inline const QString ModelVersionIdentifiersKey =
      QStringLiteral("NSStoreModelVersionIdentifiers");
  static inline const QString ModelVersionHashesVersionKey =
      QStringLiteral("NSStoreModelVersionHashesVersion");

  // Keys the store maintains itself.
  static QStringList reservedKeys();

  // The metadata of a new store of `type` for `model`, with a fresh UUID.
  static QVariantMap forNewStore(const QString& type, const ManagedObjectModel& model);

  static QByteArray encode(const QVariantMap& metadata, fnd::Error* error);
  // Empty with FileReadCorruptFileError when `plist` is not a dictionary.
  static QVariantMap decode(const QByteArray& plist, fnd::Error* error);
};

}  // namespace cd
