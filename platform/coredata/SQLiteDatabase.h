// A connection to one SQLite database file (or memory database), with the
// error mapping the store layer reports: files that are not databases or
// are damaged fail as corrupt files, anything else as a store operation.
#pragma once

#include <QByteArray>
#include <QString>
#include <utility>

#include "foundation/Error.h"

struct sqlite3;

namespace cd {

class SQLiteDatabase {
 public:
  SQLiteDatabase() = default;
  ~SQLiteDatabase();
  SQLiteDatabase(const SQLiteDatabase&) = delete;
  SQLiteDatabase& operator=(const SQLiteDatabase&) = delete;

  bool open(const QString& path, bool readOnly, bool create, fnd::Error* error);
  void close();
  bool isOpen() const { return db_ != nullptr; }
  sqlite3* handle() const { return db_; }
  void swap(SQLiteDatabase& other) {
    std::swap(db_, other.db_);
    lastLargeBlob_.swap(other.lastLargeBlob_);
  }
  // Whether the file this connection reads and writes is still the one at
  // the path it was opened with (not renamed away, replaced or removed).
  bool isAtItsPath() const;
  // Copies the whole database, as last committed, into the file at `path`
  // (made when missing) through SQLite, so the copy is consistent whatever
  // the file on disk has become.
  bool copyTo(const QString& path, fnd::Error* error);

  bool exec(const QString& sql, fnd::Error* error);
  bool tableExists(const QString& table);
  // Column names of `table`, empty when it does not exist.
  QStringList columnsOfTable(const QString& table);
  // Reads the non-empty blob (or text) in `column` of row `rowid` straight
  // into `bytes`, without the copy SQLite makes of a large value otherwise.
  // False, with `bytes` untouched, when there is no such row or the value is
  // NULL, empty or of another kind. A large blob is read into the memory of
  // the last one read when its reader has let that go.
  bool readBlob(const QString& table, const QString& column, qint64 rowid, QByteArray* bytes);
  // Lets go of the last large blob read, kept to read the next one into.
  void releaseReadBuffer() { lastLargeBlob_ = QByteArray(); }
  // Whether large blobs read from now on ask the kernel for 2 MiB pages.
  // Fewer page faults, but where free memory is fragmented the kernel may
  // stop the reading thread for a long while to make such pages, so only a
  // program that reads a file once and quits should ask. Off by default.
  static void setLargePagesForBlobs(bool large);

  // The error for the last failed call, with `what` as context.
  fnd::Error lastError(const QString& what) const;
  static fnd::Error errorForCode(int code, const QString& what, const QString& message);

 private:
  // A buffer for a blob of `size` bytes: the last large one's, or new.
  QByteArray blobBuffer(int size);

  sqlite3* db_ = nullptr;
  // Shared with its reader. Layers are read one after another, each
  // dropped once decoded: reading the next into the same memory spares the
  // kernel mapping tens of megabytes of fresh pages per layer.
  QByteArray lastLargeBlob_;
};

}  // namespace cd
