// Reading of SQLiteStore: rows into StoreRows, to-many members, lazily
// stored values, and the conversion of column values to attribute values.
#include <QDateTime>

#include "coredata/SQLiteStatement.h"
#include "coredata/SQLiteStore.h"
#include "coredata/StoreDate.h"
#include "foundation/KeyedUnarchiver.h"

namespace cd {

QString SQLiteStore::entityNumbers(const EntityDescription* entity, bool includeSubentities) {
  QStringList numbers{QString::number(entity->entityNumber())};
  if (includeSubentities)
    for (const EntityDescription* sub : entity->subentities())
      numbers.append(entityNumbers(sub, true));
  return numbers.join(", ");
}

QVariant SQLiteStore::readAttribute(SQLiteStatement& statement, int column,
                                    const AttributeDescription* attribute) const {
  if (statement.isNull(column)) return {};
  switch (attribute->attributeType()) {
    case AttributeType::Integer16:
    case AttributeType::Integer32:
    case AttributeType::Integer64:
    case AttributeType::Boolean:
      return attribute->canonicalValue(statement.columnInt64(column));
    case AttributeType::Float:
    case AttributeType::Double:
      return attribute->canonicalValue(statement.columnDouble(column));
    case AttributeType::String:
      return statement.columnText(column);
    case AttributeType::Date: {
      const QDateTime date = StoreDate::fromStored(statement.columnDouble(column));
      if (!date.isValid())
        qWarning("cd::SQLiteStore: %s holds no date: %g", qPrintable(attribute->name()),
                 statement.columnDouble(column));
      return date.isValid() ? QVariant(date) : QVariant();
    }
    case AttributeType::Binary:
      return statement.columnBlob(column);
    case AttributeType::Transformable: {
      fnd::Error error;
      QVariant value =
          fnd::KeyedUnarchiver::unarchiveObjectWithData(statement.columnBlob(column), &error);
      if (!error.isNull())
        qWarning("cd::SQLiteStore: %s could not be unarchived: %s", qPrintable(attribute->name()),
                 qPrintable(error.localizedDescription()));
      return value;
    }
  }
  return {};
}

StoreRow SQLiteStore::rowFromStatement(SQLiteStatement& statement,
                                       const TableLayout& layout) const {
  StoreRow row;
  EntityDescription* entity = model_->entityWithNumber(int(statement.columnInt64(1)));
  auto values = layout.valueColumns.constFind(entity);
  // An entity number of another table is as bad as an unknown one.
  if (!entity || values == layout.valueColumns.cend()) return row;
  row.id = ManagedObjectID::permanentID(entity, statement.columnInt64(0),
                                        const_cast<SQLiteStore*>(this));
  row.version = statement.columnInt64(2);
  const auto& properties = entity->properties();
  row.values.assign(properties.size(), QVariant());
  row.present.assign(properties.size(), 0);
  const std::vector<int>& valueColumns = values.value();
  const std::vector<int>& entityColumns = layout.entityColumns.constFind(entity).value();
  for (PropertyDescription* property : properties) {
    int index = property->index();
    if (property->isTransient()) {
      if (property->isAttribute())
        row.values[index] = static_cast<AttributeDescription*>(property)->defaultValue();
      row.present[index] = 1;
      continue;
    }
    if (property->isToMany()) continue;
    int column = valueColumns[index];
    if (column < 0) continue;  // stored lazily
    row.present[index] = 1;
    if (property->isAttribute()) {
      row.values[index] =
          readAttribute(statement, column, static_cast<AttributeDescription*>(property));
      continue;
    }
    if (statement.isNull(column)) continue;
    auto* toOne = static_cast<RelationshipDescription*>(property);
    EntityDescription* destination = toOne->destinationEntity();
    int entityColumn = entityColumns[index];
    if (entityColumn >= 0 && !statement.isNull(entityColumn))
      if (EntityDescription* exact =
              model_->entityWithNumber(int(statement.columnInt64(entityColumn))))
        destination = exact;
    row.values[index] = QVariant::fromValue(ManagedObjectID::permanentID(
        destination, statement.columnInt64(column), const_cast<SQLiteStore*>(this)));
  }
  return row;
}

bool SQLiteStore::loadRow(const ManagedObjectID& id, StoreRow* row, fnd::Error* error) {
  QString table = SQLiteSchema::tableName(id.entity());
  const TableLayout& layout = layouts_[table];
  SQLiteStatement& query = statement(layout.select + " WHERE Z_PK = ?");
  query.bind(1, id.primaryKey());
  SQLiteStatement::StepResult result = query.step();
  if (result == SQLiteStatement::Failed) return fnd::fail(error, failure("reading a row"));
  if (result == SQLiteStatement::Done) {
    query.reset();
    return fnd::fail(error, fnd::CocoaErrorDomain, fnd::PersistentStoreOperationError,
                     QStringLiteral("The object's row no longer exists."));
  }
  *row = rowFromStatement(query, layout);
  query.reset();
  if (row->id.isNull())
    return fnd::fail(error, fnd::CocoaErrorDomain, fnd::FileReadCorruptFileError,
                     QStringLiteral("A row names an unknown entity."));
  return true;
}

bool SQLiteStore::fetchRows(EntityDescription* entity, bool includeSubentities,
                            QList<StoreRow>* rows, fnd::Error* error) {
  QString table = SQLiteSchema::tableName(entity);
  const TableLayout& layout = layouts_[table];
  QString sql = layout.select;
  bool wholeTable = includeSubentities && !entity->superentity();
  if (!wholeTable)
    sql += QStringLiteral(" WHERE Z_ENT IN (%1)").arg(entityNumbers(entity, includeSubentities));
  SQLiteStatement& query = statement(sql + " ORDER BY Z_PK");
  SQLiteStatement::StepResult result;
  while ((result = query.step()) == SQLiteStatement::Row) {
    StoreRow row = rowFromStatement(query, layout);
    if (!row.id.isNull()) rows->append(std::move(row));
  }
  if (result == SQLiteStatement::Failed) return fnd::fail(error, failure("fetching rows"));
  query.reset();
  return true;
}

bool SQLiteStore::loadToMany(const ManagedObjectID& owner, RelationshipDescription* relationship,
                             QList<ManagedObjectID>* members, fnd::Error* error) {
  RelationshipDescription* inverse = relationship->inverseRelationship();
  EntityDescription* destination = relationship->destinationEntity();
  QString order = SQLiteSchema::orderColumnName(inverse);
  QString sql = QStringLiteral(
                    "SELECT Z_PK, Z_ENT FROM %1 WHERE %2 = ? AND Z_ENT IN (%3) "
                    "ORDER BY %4")
                    .arg(SQLiteSchema::tableName(destination), SQLiteSchema::columnName(inverse),
                         entityNumbers(destination, true),
                         order.isEmpty() ? QStringLiteral("Z_PK") : order + ", Z_PK");
  SQLiteStatement& query = statement(sql);
  query.bind(1, owner.primaryKey());
  SQLiteStatement::StepResult result;
  while ((result = query.step()) == SQLiteStatement::Row) {
    EntityDescription* entity = model_->entityWithNumber(int(query.columnInt64(1)));
    if (entity) members->append(ManagedObjectID::permanentID(entity, query.columnInt64(0), this));
  }
  if (result == SQLiteStatement::Failed) return fnd::fail(error, failure("reading a relationship"));
  query.reset();
  return true;
}

bool SQLiteStore::loadAttribute(const ManagedObjectID& id, AttributeDescription* attribute,
                                QVariant* value, fnd::Error* error) {
  // A large blob (a layer's pixels) is read straight into its value;
  // NULL, empty and damaged values take the general path below.
  QByteArray bytes;
  if (attribute->attributeType() == AttributeType::Binary &&
      db_.readBlob(SQLiteSchema::tableName(id.entity()), SQLiteSchema::columnName(attribute),
                   id.primaryKey(), &bytes)) {
    *value = bytes;
    return true;
  }
  auto lazy = lazySelects_.constFind(attribute);
  SQLiteStatement& query =
      statement(lazy != lazySelects_.cend() ? lazy.value()
                                            : QStringLiteral("SELECT %1 FROM %2 WHERE Z_PK = ?")
                                                  .arg(SQLiteSchema::columnName(attribute),
                                                       SQLiteSchema::tableName(id.entity())));
  query.bind(1, id.primaryKey());
  SQLiteStatement::StepResult result = query.step();
  if (result == SQLiteStatement::Failed) return fnd::fail(error, failure("reading a value"));
  *value = result == SQLiteStatement::Row ? readAttribute(query, 0, attribute) : QVariant();
  // A statement left on a row keeps the file's read lock; let go of it.
  query.reset();
  return true;
}

}  // namespace cd
