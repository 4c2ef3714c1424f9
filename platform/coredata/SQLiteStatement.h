// A prepared SQLite statement: bind parameters (1-based), step, read
// columns (0-based), reset for the next use.
#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QVariant>

struct sqlite3_stmt;

namespace cd {

class SQLiteDatabase;

class SQLiteStatement {
 public:
  enum StepResult { Row, Done, Failed };

  SQLiteStatement(SQLiteDatabase& database, const QString& sql);
  ~SQLiteStatement();
  SQLiteStatement(const SQLiteStatement&) = delete;
  SQLiteStatement& operator=(const SQLiteStatement&) = delete;

  bool isValid() const { return statement_ != nullptr; }
  int resultCode() const { return code_; }

  void bindNull(int index);
  void bind(int index, qint64 value);
  void bind(int index, double value);
  void bind(int index, const QString& value);
  void bind(int index, const QByteArray& value);
  StepResult step();
  // Also ends the statement's hold on the file: until reset, a statement
  // that stopped on a row keeps a read lock.
  void reset();

  bool isNull(int column) const;
  qint64 columnInt64(int column) const;
  double columnDouble(int column) const;
  QString columnText(int column) const;
  QByteArray columnBlob(int column) const;
  // The column as stored: integer, real, text, blob or null.
  QVariant columnValue(int column) const;

 private:
  sqlite3_stmt* statement_ = nullptr;
  int code_ = 0;
  // The blobs bound, by parameter: SQLite reads their bytes in place rather
  // than copying each (a layer's pixels are tens of megabytes), so they
  // live as long as their binding.
  QHash<int, QByteArray> boundBlobs_;
};

}  // namespace cd
