#include "coredata/ManagedObjectID.h"

#include "coredata/EntityDescription.h"
#include "coredata/PersistentStore.h"

namespace cd {

ManagedObjectID ManagedObjectID::temporaryID(EntityDescription* entity, quint64 number) {
  ManagedObjectID id;
  id.entity_ = entity;
  id.key_ = qint64(number);
  id.temporary_ = true;
  return id;
}

ManagedObjectID ManagedObjectID::permanentID(EntityDescription* entity, qint64 primaryKey,
                                             PersistentStore* store) {
  ManagedObjectID id;
  id.entity_ = entity;
  id.key_ = primaryKey;
  id.store_ = store;
  return id;
}

QUrl ManagedObjectID::URIRepresentation() const {
  if (!entity_) return {};
  QString host = store_ ? store_->identifier() : QString();
  QString path = "/" + entity_->name() + "/" + (temporary_ ? "t" : "p") + QString::number(key_);
  QUrl url;
  url.setScheme("tessaly-object");
  url.setHost(host);
  url.setPath(path);
  return url;
}

bool ManagedObjectID::operator==(const ManagedObjectID& other) const {
  if (!entity_ || !other.entity_) return entity_ == other.entity_;
  return temporary_ == other.temporary_ && key_ == other.key_ &&
         entity_->rootEntity() == other.entity_->rootEntity() &&
         (temporary_ || store_ == other.store_);
}

size_t qHash(const ManagedObjectID& id, size_t seed) {
  const void* root = id.entity() ? id.entity()->rootEntity() : nullptr;
  return qHashMulti(seed, root, id.primaryKey(), id.isTemporaryID());
}

}  // namespace cd
