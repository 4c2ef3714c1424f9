#include "coredata/ModelLoader.h"

#include <QDateTime>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSet>

namespace cd {

bool ModelLoader::invalid(fnd::Error* error, const QString& source, const QString& why) {
  return fnd::fail(error, fnd::CocoaErrorDomain, fnd::FileReadCorruptFileError,
                   QStringLiteral("The model file %1 is not valid: %2").arg(source, why));
}

bool ModelLoader::addFile(const QString& path, fnd::Error* error) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly))
    return fnd::fail(error, fnd::CocoaErrorDomain, fnd::FileReadNoSuchFileError,
                     QStringLiteral("The model file %1 could not be opened.").arg(path));
  return addJson(file.readAll(), path, error);
}

bool ModelLoader::addJson(const QByteArray& json, const QString& source, fnd::Error* error) {
  QJsonParseError parseError;
  QJsonDocument document = QJsonDocument::fromJson(json, &parseError);
  if (document.isNull()) return invalid(error, source, parseError.errorString());
  if (!document.isObject()) return invalid(error, source, "the top level is not an object");
  QJsonObject root = document.object();
  QString identifier = root.value("versionIdentifier").toString();
  if (!identifier.isEmpty() && !versionIdentifiers_.contains(identifier))
    versionIdentifiers_.append(identifier);
  for (const QJsonValue& value : root.value("entities").toArray()) {
    if (!value.isObject()) return invalid(error, source, "an entity is not an object");
    if (!readEntity(value.toObject(), source, error)) return false;
  }
  return true;
}

bool ModelLoader::readEntity(const QJsonObject& json, const QString& source, fnd::Error* error) {
  QString name = json.value("name").toString();
  if (name.isEmpty()) return invalid(error, source, "an entity has no name");
  for (const PendingEntity& pending : entities_)
    if (pending.entity->name() == name)
      return invalid(error, source, QStringLiteral("entity %1 is declared twice").arg(name));
  auto entity = std::make_unique<EntityDescription>();
  entity->setName(name);
  entity->setManagedObjectClassName(json.value("className").toString(name));
  entity->setAbstract(json.value("abstract").toBool(false));
  entity->setVersionHashModifier(json.value("versionHashModifier").toString());
  entity->setRenamingIdentifier(json.value("renamingIdentifier").toString());
  for (const QJsonValue& value : json.value("properties").toArray()) {
    if (!readProperty(entity.get(), value.toObject(), source, error)) return false;
  }
  entities_.push_back({std::move(entity), json.value("parent").toString(), source});
  return true;
}

bool ModelLoader::readProperty(EntityDescription* entity, const QJsonObject& json,
                               const QString& source, fnd::Error* error) {
  QString name = json.value("name").toString();
  QString where = entity->name() + "." + name;
  if (name.isEmpty()) return invalid(error, source, entity->name() + " has an unnamed property");
  std::unique_ptr<PropertyDescription> property;
  if (json.contains("destination")) {
    auto relationship = std::make_unique<RelationshipDescription>();
    relationship->setToMany(json.value("toMany").toBool(false));
    relationship->setOrdered(json.value("ordered").toBool(false));
    DeleteRule rule = DeleteRule::Nullify;
    if (!RelationshipDescription::deleteRuleFromName(json.value("deleteRule").toString("nullify"),
                                                     &rule))
      return invalid(error, source, where + " has an unknown delete rule");
    relationship->setDeleteRule(rule);
    relationship->setMinCount(json.value("minCount").toInt(0));
    relationship->setMaxCount(json.value("maxCount").toInt(0));
    relationships_.push_back({relationship.get(), json.value("destination").toString(),
                              json.value("inverse").toString(), source});
    property = std::move(relationship);
  } else {
    auto attribute = std::make_unique<AttributeDescription>();
    AttributeType type;
    if (!AttributeDescription::typeFromName(json.value("type").toString(), &type))
      return invalid(error, source, where + " has an unknown attribute type");
    attribute->setAttributeType(type);
    QVariant defaultValue = json.value("default").toVariant();
    if (type == AttributeType::Date && defaultValue.isValid())
      defaultValue = QDateTime::fromString(defaultValue.toString(), Qt::ISODateWithMs);
    if (type == AttributeType::Binary && defaultValue.isValid())
      defaultValue = QByteArray::fromBase64(defaultValue.toString().toLatin1());
    attribute->setDefaultValue(defaultValue);
    property = std::move(attribute);
  }
  property->setName(name);
  property->setOptional(json.value("optional").toBool(true));
  property->setTransient(json.value("transient").toBool(false));
  property->setRenamingIdentifier(json.value("renamingIdentifier").toString());
  property->setUserInfo(json.value("userInfo").toObject().toVariantMap());
  entity->addProperty(std::move(property));
  return true;
}

bool ModelLoader::resolve(fnd::Error* error) {
  QHash<QString, EntityDescription*> byName;
  for (const PendingEntity& pending : entities_)
    byName.insert(pending.entity->name(), pending.entity.get());
  for (const PendingEntity& pending : entities_) {
    if (pending.parent.isEmpty()) continue;
    EntityDescription* parent = byName.value(pending.parent);
    if (!parent || parent == pending.entity.get())
      return invalid(error, pending.source,
                     pending.entity->name() + " names an unknown parent " + pending.parent);
    pending.entity->setSuperentity(parent);
  }
  for (const PendingEntity& pending : entities_) {
    int steps = 0;
    for (auto* e = pending.entity.get(); e; e = e->superentity())
      if (++steps > int(entities_.size()))
        return invalid(error, pending.source, pending.entity->name() + " inherits from itself");
  }
  for (const PendingEntity& pending : entities_) {
    // A property name means one slot in the entity and all its ancestors.
    QSet<QString> names;
    for (auto* e = pending.entity.get(); e; e = e->superentity())
      for (const auto& property : e->declaredProperties()) {
        if (names.contains(property->name()))
          return invalid(error, pending.source,
                         pending.entity->name() + " declares " + property->name() + " twice");
        names.insert(property->name());
      }
  }
  for (const PendingRelationship& pending : relationships_) {
    RelationshipDescription* relationship = pending.relationship;
    QString where = relationship->entity()->name() + "." + relationship->name();
    EntityDescription* destination = byName.value(pending.destination);
    if (!destination) return invalid(error, pending.source, where + " points at an unknown entity");
    relationship->setDestinationEntity(destination);
    if (pending.inverse.isEmpty()) continue;
    RelationshipDescription* inverse = nullptr;
    for (auto* e = destination; e && !inverse; e = e->superentity())
      for (const auto& property : e->declaredProperties())
        if (property->name() == pending.inverse && property->isRelationship())
          inverse = static_cast<RelationshipDescription*>(property.get());
    if (!inverse) return invalid(error, pending.source, where + " names an unknown inverse");
    relationship->setInverseRelationship(inverse);
  }
  for (const PendingRelationship& pending : relationships_) {
    RelationshipDescription* relationship = pending.relationship;
    QString where = relationship->entity()->name() + "." + relationship->name();
    RelationshipDescription* inverse = relationship->inverseRelationship();
    if (inverse && inverse->inverseRelationship() != relationship)
      return invalid(error, pending.source, where + " and its inverse disagree");
    // A to-many is stored as a key on its destination's rows, so it needs a
    // to-one inverse to hold that key.
    if (relationship->isToMany() && (!inverse || inverse->isToMany()))
      return invalid(error, pending.source, where + " needs a to-one inverse");
  }
  return true;
}

ManagedObjectModelPtr ModelLoader::build(fnd::Error* error) {
  if (!resolve(error)) return nullptr;
  std::vector<std::unique_ptr<EntityDescription>> entities;
  for (PendingEntity& pending : entities_) entities.push_back(std::move(pending.entity));
  entities_.clear();
  relationships_.clear();
  return std::make_shared<ManagedObjectModel>(std::move(entities), versionIdentifiers_);
}

}  // namespace cd
