// A property of an entity: an attribute or a relationship, in the order the
// model declares it. Entities own their properties; a property's index is
// its slot in every managed object of that entity and of its sub-entities.
#pragma once

#include <QByteArray>
#include <QString>
#include <QVariantMap>

namespace cd {

class EntityDescription;

class PropertyDescription {
 public:
  virtual ~PropertyDescription() = default;

  const QString& name() const { return name_; }
  EntityDescription* entity() const { return entity_; }
  bool isOptional() const { return optional_; }
  bool isTransient() const { return transient_; }
  virtual bool isAttribute() const = 0;
  bool isRelationship() const { return !isAttribute(); }
  virtual bool isToMany() const { return false; }
  virtual bool isOrdered() const { return false; }

  // Position in the entity's properties(), inherited ones first.
  int index() const { return index_; }

  // Kept for the migration between model versions: a renamed property
  // names its former self here.
  const QString& renamingIdentifier() const { return renamingIdentifier_; }
  const QVariantMap& userInfo() const { return userInfo_; }

  // What the entity's version hash is made of for this property.
  virtual QByteArray versionHashInput() const;

  void setName(const QString& name) { name_ = name; }
  void setOptional(bool optional) { optional_ = optional; }
  void setTransient(bool transient) { transient_ = transient; }
  void setRenamingIdentifier(const QString& identifier) { renamingIdentifier_ = identifier; }
  void setUserInfo(const QVariantMap& info) { userInfo_ = info; }

 private:
  friend class EntityDescription;
  QString name_;
  EntityDescription* entity_ = nullptr;
  bool optional_ = true;
  bool transient_ = false;
  int index_ = -1;
  QString renamingIdentifier_;
  QVariantMap userInfo_;
};

}  // namespace cd
