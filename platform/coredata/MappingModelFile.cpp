// Mapping models read from their JSON files (see MappingModel.h).
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "coredata/MappingModel.h"

namespace cd {
namespace {

bool invalid(fnd::Error* error, const QString& path, const QString& why) {
  return fnd::fail(error, fnd::CocoaErrorDomain, fnd::FileReadCorruptFileError,
                   QStringLiteral("The mapping model %1 is not valid: %2.").arg(path, why));
}

QList<PropertyMapping> propertyMappings(const QJsonArray& array) {
  QList<PropertyMapping> mappings;
  for (const QJsonValue& value : array) {
    const QJsonObject json = value.toObject();
    PropertyMapping mapping;
    mapping.name = json.value("name").toString();
    mapping.sourceName = json.value("source").toString(mapping.name);
    mappings.append(mapping);
  }
  return mappings;
}

std::optional<EntityMapping::Kind> kindNamed(const QString& name) {
  if (name == "copy") return EntityMapping::Kind::Copy;
  if (name == "transform") return EntityMapping::Kind::Transform;
  if (name == "add") return EntityMapping::Kind::Add;
  if (name == "remove") return EntityMapping::Kind::Remove;
  return std::nullopt;
}

bool readEntityMapping(const QJsonObject& json, EntityMapping* mapping) {
  std::optional<EntityMapping::Kind> kind = kindNamed(json.value("kind").toString("transform"));
  if (!kind) return false;
  mapping->kind = *kind;
  mapping->name = json.value("name").toString();
  mapping->sourceEntityName = json.value("source").toString();
  mapping->destinationEntityName = json.value("destination").toString();
  mapping->entityMigrationPolicyClassName = json.value("policy").toString();
  mapping->attributeMappings = propertyMappings(json.value("attributes").toArray());
  mapping->relationshipMappings = propertyMappings(json.value("relationships").toArray());
  mapping->mapsSameNamedAttributes = !json.contains("attributes");
  mapping->mapsSameNamedRelationships = !json.contains("relationships");
  const QJsonObject predicate = json.value("sourcePredicate").toObject();
  if (!predicate.isEmpty())
    mapping->sourcePredicate =
        Predicate::equal(predicate.value("key").toString(), predicate.value("equals").toVariant());
  return !mapping->name.isEmpty();
}

}  // namespace

const EntityMapping* MappingModel::mappingNamed(const QString& name) const {
  for (const EntityMapping& mapping : entityMappings)
    if (mapping.name == name) return &mapping;
  return nullptr;
}

std::optional<MappingModel> MappingModel::mappingModelFromFile(const QString& path,
                                                               fnd::Error* error) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    fnd::fail(error, fnd::CocoaErrorDomain, fnd::FileReadNoSuchFileError,
              QStringLiteral("There is no mapping model at %1.").arg(path));
    return std::nullopt;
  }
  QJsonParseError parseError;
  const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &parseError);
  if (!document.isObject()) {
    invalid(error, path, parseError.errorString());
    return std::nullopt;
  }
  const QJsonObject json = document.object();
  MappingModel model;
  model.sourceVersion = json.value("sourceVersion").toString();
  model.destinationVersion = json.value("destinationVersion").toString();
  for (const QJsonValue& value : json.value("entityMappings").toArray()) {
    EntityMapping mapping;
    if (!readEntityMapping(value.toObject(), &mapping)) {
      invalid(error, path, QStringLiteral("an entity mapping has no name or an unknown kind"));
      return std::nullopt;
    }
    model.entityMappings.append(mapping);
  }
  return model;
}

}  // namespace cd
