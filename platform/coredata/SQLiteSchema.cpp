#include "coredata/SQLiteSchema.h"

namespace cd {

namespace {

void collectHierarchy(EntityDescription* entity, QList<EntityDescription*>* out) {
  out->append(entity);
  for (EntityDescription* sub : entity->subentities()) collectHierarchy(sub, out);
}

}  // namespace

SQLiteSchema::SQLiteSchema(const ManagedObjectModel& model) {
  for (EntityDescription* root : model.entities()) {
    if (root->superentity()) continue;
    QString table = tableName(root);
    addColumn(table, "Z_PK", "INTEGER PRIMARY KEY");
    addColumn(table, "Z_ENT", "INTEGER");
    addColumn(table, "Z_OPT", "INTEGER");
    QList<EntityDescription*> hierarchy;
    collectHierarchy(root, &hierarchy);
    for (EntityDescription* entity : hierarchy) {
      for (const auto& property : entity->declaredProperties()) {
        QString column = columnName(property.get());
        if (column.isEmpty()) continue;
        if (property->isAttribute()) {
          auto* attribute = static_cast<AttributeDescription*>(property.get());
          addColumn(table, column, sqlType(attribute->attributeType()));
          continue;
        }
        auto* toOne = static_cast<RelationshipDescription*>(property.get());
        addColumn(table, column, "INTEGER");
        indexedColumns_[table].append(column);
        if (QString entityColumn = entityColumnName(toOne); !entityColumn.isEmpty())
          addColumn(table, entityColumn, "INTEGER");
        if (QString order = orderColumnName(toOne); !order.isEmpty())
          addColumn(table, order, "INTEGER");
      }
    }
  }
}

void SQLiteSchema::addColumn(const QString& table, const QString& name, const QString& type) {
  QList<SQLiteColumn>& list = columns_[table];
  for (const SQLiteColumn& column : list)
    if (column.name == name) return;  // sibling entities share a same-named column
  list.append({name, type});
}

QStringList SQLiteSchema::tableNames() const {
  QStringList names = columns_.keys();
  names.sort();
  return names;
}

QString SQLiteSchema::tableName(const EntityDescription* entity) {
  return "Z" + entity->rootEntity()->name().toUpper();
}

QString SQLiteSchema::columnName(const PropertyDescription* property) {
  if (property->isTransient() || property->isToMany()) return {};
  return "Z" + property->name().toUpper();
}

QString SQLiteSchema::entityColumnName(const RelationshipDescription* toOne) {
  if (toOne->isToMany() || toOne->isTransient() || !toOne->destinationEntity() ||
      toOne->destinationEntity()->rootEntity()->subentities().isEmpty())
    return {};
  return columnName(toOne) + "_ENT";
}

QString SQLiteSchema::orderColumnName(const RelationshipDescription* toOne) {
  RelationshipDescription* inverse = toOne->inverseRelationship();
  if (toOne->isToMany() || toOne->isTransient() || !inverse || !inverse->isOrdered()) return {};
  return "Z_FOK_" + toOne->name().toUpper();
}

QString SQLiteSchema::sqlType(AttributeType type) {
  switch (type) {
    case AttributeType::Integer16:
    case AttributeType::Integer32:
    case AttributeType::Integer64:
    case AttributeType::Boolean:
      return "INTEGER";
    case AttributeType::Float:
    case AttributeType::Double:
      return "FLOAT";
    case AttributeType::String:
      return "VARCHAR";
    case AttributeType::Date:
      return "TIMESTAMP";
    case AttributeType::Binary:
    case AttributeType::Transformable:
      return "BLOB";
  }
  return "BLOB";
}

QStringList SQLiteSchema::createStatements() const {
  QStringList statements;
  for (const QString& table : tableNames()) {
    QStringList definitions;
    for (const SQLiteColumn& column : columns_.value(table))
      definitions.append(column.name + " " + column.type);
    statements.append(QStringLiteral("CREATE TABLE %1 (%2)").arg(table, definitions.join(", ")));
    for (const QString& column : indexedColumns_.value(table))
      statements.append(QStringLiteral("CREATE INDEX %1_%2_INDEX ON %1 (%2)").arg(table, column));
  }
  statements.append(
      "CREATE TABLE Z_PRIMARYKEY (Z_ENT INTEGER PRIMARY KEY, Z_NAME VARCHAR, Z_SUPER INTEGER, "
      "Z_MAX INTEGER)");
  statements.append(
      "CREATE TABLE Z_METADATA (Z_VERSION INTEGER PRIMARY KEY, Z_UUID VARCHAR(255), Z_PLIST "
      "BLOB)");
  return statements;
}

}  // namespace cd
