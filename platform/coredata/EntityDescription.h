// An entity of a managed object model: its name, the C++ class that
// represents it, its parent entity and its properties in declaration order
// (inherited ones first). Built by the model loader; read-only afterwards.
#pragma once

#include <QHash>
#include <QList>
#include <QString>
#include <memory>
#include <vector>

#include "coredata/AttributeDescription.h"
#include "coredata/RelationshipDescription.h"

namespace cd {

class ManagedObject;
class ManagedObjectContext;
class ManagedObjectModel;

class EntityDescription {
 public:
  // The entity of that name in the context's model, or null.
  static EntityDescription* entityForName(const QString& name, ManagedObjectContext* context);
  // Same as context->insertNewObjectForEntityForName(name).
  static ManagedObject* insertNewObjectForEntityForName(const QString& name,
                                                        ManagedObjectContext* context);

  const QString& name() const { return name_; }
  // Equal to the entity name unless the model says otherwise.
  const QString& managedObjectClassName() const { return className_; }
  bool isAbstract() const { return abstract_; }
  EntityDescription* superentity() const { return superentity_; }
  const QList<EntityDescription*>& subentities() const { return subentities_; }
  EntityDescription* rootEntity();
  const EntityDescription* rootEntity() const;
  bool isKindOfEntity(const EntityDescription* other) const;
  ManagedObjectModel* managedObjectModel() const { return model_; }

  // Inherited properties first, then this entity's own, each group in
  // declaration order. Index i is the slot of property i.
  const QList<PropertyDescription*>& properties() const { return properties_; }
  PropertyDescription* propertyNamed(const QString& name) const {
    return propertiesByName_.value(name);
  }
  // -1 when the entity has no such property.
  int indexOfProperty(const QString& name) const;
  QHash<QString, PropertyDescription*> propertiesByName() const { return propertiesByName_; }
  QList<AttributeDescription*> attributes() const;
  QList<RelationshipDescription*> relationships() const;
  AttributeDescription* attributeNamed(const QString& name) const;
  RelationshipDescription* relationshipNamed(const QString& name) const;

  // A digest of everything that decides how this entity's rows are stored;
  // stores remember it to refuse opening with a model that stores rows
  // differently.
  QByteArray versionHash() const;
  const QString& versionHashModifier() const { return versionHashModifier_; }
  const QString& renamingIdentifier() const { return renamingIdentifier_; }

  // 1-based number of the entity in its model, written to Z_ENT.
  int entityNumber() const { return number_; }

  // Building, used by the model loader.
  void setName(const QString& name) { name_ = name; }
  void setManagedObjectClassName(const QString& name) { className_ = name; }
  void setAbstract(bool abstract) { abstract_ = abstract; }
  void setVersionHashModifier(const QString& modifier) { versionHashModifier_ = modifier; }
  void setRenamingIdentifier(const QString& identifier) { renamingIdentifier_ = identifier; }
  void addProperty(std::unique_ptr<PropertyDescription> property);
  void setSuperentity(EntityDescription* parent);
  const std::vector<std::unique_ptr<PropertyDescription>>& declaredProperties() const {
    return declared_;
  }

 private:
  friend class ManagedObjectModel;
  // Lays out properties() once the whole hierarchy is known; parents first.
  void finalize(ManagedObjectModel* model, int number);

  QString name_;
  QString className_;
  bool abstract_ = false;
  EntityDescription* superentity_ = nullptr;
  QList<EntityDescription*> subentities_;
  ManagedObjectModel* model_ = nullptr;
  int number_ = 0;
  QString versionHashModifier_;
  QString renamingIdentifier_;
  std::vector<std::unique_ptr<PropertyDescription>> declared_;
  QList<PropertyDescription*> properties_;
  QHash<QString, PropertyDescription*> propertiesByName_;
};

}  // namespace cd
