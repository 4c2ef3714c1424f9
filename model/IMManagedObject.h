#pragma once

#include <QString>
#include <memory>

#include "coredata/ManagedObject.h"
#include "coredata/ManagedObjectModel.h"
#include "foundation/Coding.h"
#include "foundation/NotificationCenter.h"

namespace fnd {
class KeyedArchiver;
class KeyedUnarchiver;
}  // namespace fnd

namespace cd {
class ManagedObjectContext;
}

// Posted after every change of any entity, object: the changed entity.
inline const QString IMManagedObjectDidChange = QStringLiteral("IMManagedObjectDidChange");
// Posted by a document that is going away, object: its context. Every entity
// of that context answers nil from then on.
inline const QString IMAWillThrowAwayManagedObjectsForMOC =
    QStringLiteral("IMAWillThrowAwayManagedObjectsForMOC");

// Base of every entity class of a document. Adds the pasteboard archive, one
// prepare step on insert, fetch and undo, a switch for the subclasses' own
// change reactions, and the refusal of values once the document goes away.
class IMManagedObject : public cd::ManagedObject {
 public:
  IMManagedObject();
  ~IMManagedObject() override;

  // The document model, loaded once from the program's resources, with every
  // entity class registered so inserted and fetched objects get their class.
  static cd::ManagedObjectModelPtr managedObjectModel(fnd::Error* error = nullptr);

  // Objects decoded from an archive are inserted into this context; callers
  // set it, unarchive and reset it in one go on the main thread.
  static void setTempDecodingManagedObjectContext(cd::ManagedObjectContext* context);
  static void resetTempDecodingManagedObjectContext();
  static cd::ManagedObjectContext* tempDecodingManagedObjectContext();

  // The archive: attributes always, relationships only where the subclass
  // names them; nil values leave their key out.
  virtual void encodeWithCoder(fnd::KeyedArchiver& coder) const;
  // A new object of `entityName` in the temporary decoding context, filled
  // from the coder; null (never a crash) when no context is set, the entity
  // is unknown or the archive names another kind of object.
  static IMManagedObject* initWithCoder(const QString& entityName, fnd::KeyedUnarchiver& coder);
  virtual bool imShouldEncodeRelationshipNamed(const QString& name) const;
  // The value archived for an attribute; a null value leaves the key out.
  virtual QVariant archivedValueForKey(const QString& key) const { return valueForKey(key); }
  // Wraps the object for a keyed archive (QVariant::fromValue on the result).
  fnd::CodingPtr archivable();
  // The entity object an archive value stands for, or null.
  static IMManagedObject* fromArchivedValue(const QVariant& value);

  virtual void prepareTransientValues() {}
  void ima_prepare();

  void awakeFromInsert() override;
  void awakeFromFetch() override;
  void awakeFromSnapshotEvents(int flags) override;
  void didTurnIntoFault() override;

  void enableWillBeThrownAway(const fnd::Notification& notification);

  void didChangeValueForKey(const QString& key) override;
  // Ordered to-many changes go through didChangeValueForKey too, so the
  // subclasses' hooks see every change under one name.
  void didChange(fnd::KeyValueChangeKind kind, const fnd::IndexSet& indexes,
                 const QString& key) override;
  QVariant valueForKey(const QString& key) const override;
  virtual void mayChangeValueForKey(const QString& key) { Q_UNUSED(key); }

  void enableNotifications() { areNotificationsDisabled_ = false; }
  void disableNotifications() { areNotificationsDisabled_ = true; }
  bool areNotificationsDisabled() const { return areNotificationsDisabled_; }
  void setAreNotificationsDisabled(bool disabled) { areNotificationsDisabled_ = disabled; }
  bool willBeThrownAway() const { return willBeThrownAway_; }
  void setWillBeThrownAway(bool value) { willBeThrownAway_ = value; }

 protected:
  // Typed reads of attributes, through valueForKey so thrown-away objects
  // answer their neutral value.
  double doubleForKey(const QString& key) const { return valueForKey(key).toDouble(); }

 private:
  void decodeProperties(fnd::KeyedUnarchiver& coder);

  bool willBeThrownAway_ = false;
  bool areNotificationsDisabled_ = false;
  // Set while an ordered to-many change is being announced.
  struct PendingToMany {
    fnd::KeyValueChangeKind kind;
    fnd::IndexSet indexes;
    QString key;
  };
  std::unique_ptr<PendingToMany> pendingToMany_;
  std::shared_ptr<bool> alive_;
};
