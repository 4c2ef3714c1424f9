#include "coredata/SQLiteStatement.h"

#include <sqlite3.h>

#include <utility>

#include "coredata/SQLiteDatabase.h"

namespace cd {

SQLiteStatement::SQLiteStatement(SQLiteDatabase& database, const QString& sql) {
  if (!database.handle()) return;
  QByteArray text = sql.toUtf8();
  code_ = sqlite3_prepare_v2(database.handle(), text.constData(), int(text.size()), &statement_,
                             nullptr);
  if (code_ != SQLITE_OK) statement_ = nullptr;
}

SQLiteStatement::~SQLiteStatement() {
  if (statement_) sqlite3_finalize(statement_);
}

void SQLiteStatement::bindNull(int index) { sqlite3_bind_null(statement_, index); }

void SQLiteStatement::bind(int index, qint64 value) {
  sqlite3_bind_int64(statement_, index, value);
}

void SQLiteStatement::bind(int index, double value) {
  sqlite3_bind_double(statement_, index, value);
}

void SQLiteStatement::bind(int index, const QString& value) {
  QByteArray text = value.toUtf8();
  sqlite3_bind_text64(statement_, index, text.constData(), text.size(), SQLITE_TRANSIENT,
                      SQLITE_UTF8);
}

void SQLiteStatement::bind(int index, const QByteArray& value) {
  // An empty byte array is still a value, not NULL: bind a zero-length blob.
  if (value.isEmpty()) {
    sqlite3_bind_zeroblob(statement_, index, 0);
  } else {
    // The copy shares the bytes; the blob it replaces goes only after
    // SQLite has let go of it.
    const QByteArray replaced = std::exchange(boundBlobs_[index], value);
    sqlite3_bind_blob64(statement_, index, boundBlobs_[index].constData(),
                        sqlite3_uint64(value.size()), SQLITE_STATIC);
  }
}

SQLiteStatement::StepResult SQLiteStatement::step() {
  if (!statement_) return Failed;
  code_ = sqlite3_step(statement_);
  if (code_ == SQLITE_ROW) return Row;
  if (code_ == SQLITE_DONE) return Done;
  return Failed;
}

void SQLiteStatement::reset() {
  if (!statement_) return;
  sqlite3_reset(statement_);
  sqlite3_clear_bindings(statement_);
}

bool SQLiteStatement::isNull(int column) const {
  return sqlite3_column_type(statement_, column) == SQLITE_NULL;
}

qint64 SQLiteStatement::columnInt64(int column) const {
  return sqlite3_column_int64(statement_, column);
}

double SQLiteStatement::columnDouble(int column) const {
  return sqlite3_column_double(statement_, column);
}

QString SQLiteStatement::columnText(int column) const {
  auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement_, column));
  int size = sqlite3_column_bytes(statement_, column);
  return text ? QString::fromUtf8(text, size) : QString();
}

QByteArray SQLiteStatement::columnBlob(int column) const {
  const void* data = sqlite3_column_blob(statement_, column);
  int size = sqlite3_column_bytes(statement_, column);
  return data ? QByteArray(static_cast<const char*>(data), size) : QByteArray("");
}

QVariant SQLiteStatement::columnValue(int column) const {
  switch (sqlite3_column_type(statement_, column)) {
    case SQLITE_INTEGER:
      return QVariant::fromValue(columnInt64(column));
    case SQLITE_FLOAT:
      return QVariant::fromValue(columnDouble(column));
    case SQLITE_TEXT:
      return QVariant::fromValue(columnText(column));
    case SQLITE_BLOB:
      return QVariant::fromValue(columnBlob(column));
    default:
      return {};
  }
}

}  // namespace cd
