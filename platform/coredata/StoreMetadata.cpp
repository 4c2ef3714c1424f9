#include "coredata/StoreMetadata.h"

#include <QUuid>

#include "coredata/ManagedObjectModel.h"
#include "foundation/PropertyList.h"

namespace cd {

QStringList StoreMetadata::reservedKeys() {
  return {StoreTypeKey, StoreUUIDKey, ModelVersionHashesKey, ModelVersionIdentifiersKey,
          ModelVersionHashesVersionKey};
}

QVariantMap StoreMetadata::forNewStore(const QString& type, const ManagedObjectModel& model) {
  QVariantMap hashes;
  const QHash<QString, QByteArray> modelHashes = model.entityVersionHashesByName();
  for (auto it = modelHashes.begin(); it != modelHashes.end(); ++it)
    hashes.insert(it.key(), it.value());
  QVariantList identifiers;
  for (const QString& identifier : model.versionIdentifiers()) identifiers.append(identifier);
  return {{StoreTypeKey, type},
          {StoreUUIDKey, QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper()},
          {ModelVersionHashesKey, hashes},
          {ModelVersionIdentifiersKey, identifiers},
          {ModelVersionHashesVersionKey, qint64(3)}};
}

QByteArray StoreMetadata::encode(const QVariantMap& metadata, fnd::Error* error) {
  return fnd::PropertyList::dataWithPropertyList(metadata, fnd::PropertyListFormat::Binary, error);
}

QVariantMap StoreMetadata::decode(const QByteArray& plist, fnd::Error* error) {
  fnd::Error plistError;
  QVariant value = fnd::PropertyList::propertyListWithData(plist, nullptr, &plistError);
  if (value.metaType() != QMetaType::fromType<QVariantMap>()) {
    fnd::fail(error, fnd::Error(fnd::CocoaErrorDomain, fnd::FileReadCorruptFileError,
                                {{fnd::LocalizedDescriptionKey,
                                  QStringLiteral("The store's metadata is damaged.")},
                                 {fnd::UnderlyingErrorKey, QVariant::fromValue(plistError)}}));
    return {};
  }
  return value.toMap();
}

}  // namespace cd
