// How a model's entities are laid out in SQLite: one table per root entity
// ("Z" + upper-cased name) shared by its sub-entities, with Z_PK, Z_ENT and
// Z_OPT, a "Z" + upper-cased name column per stored attribute and to-one
// relationship, an entity column beside a to-one whose destination has
// sub-entities, and a "Z_FOK_" ordering column beside the to-one inverse of
// an ordered to-many. To-many relationships need no column of their own.
#pragma once

#include <QHash>
#include <QList>
#include <QStringList>

#include "coredata/ManagedObjectModel.h"

namespace cd {

struct SQLiteColumn {
  QString name;
  QString type;
};

class SQLiteSchema {
 public:
  explicit SQLiteSchema(const ManagedObjectModel& model);

  QStringList tableNames() const;
  static QString tableName(const EntityDescription* entity);
  QList<SQLiteColumn> columns(const QString& table) const { return columns_.value(table); }

  // Empty for properties without a column (transient ones, to-many).
  static QString columnName(const PropertyDescription* property);
  // Empty unless the destination has sub-entities.
  static QString entityColumnName(const RelationshipDescription* toOne);
  // Empty unless the to-one's inverse is an ordered to-many.
  static QString orderColumnName(const RelationshipDescription* toOne);

  // CREATE TABLE and CREATE INDEX statements, Z_PRIMARYKEY and Z_METADATA
  // included.
  QStringList createStatements() const;
  static QString sqlType(AttributeType type);

 private:
  void addColumn(const QString& table, const QString& name, const QString& type);
  QHash<QString, QList<SQLiteColumn>> columns_;
  QHash<QString, QStringList> indexedColumns_;
};

}  // namespace cd
