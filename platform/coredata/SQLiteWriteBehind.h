#pragma once

#include <QtGlobal>

struct sqlite3;

namespace cd {

// Starts the kernel writing a store's file while a save is still filling
// it. A save of a document's layers hands a hundred megabytes to the
// kernel and then waits at its commit for the disk to take them all;
// started after each large row, most of that writing overlaps the rest of
// the save. The pages written early are ones SQLite has already handed to
// the kernel, which may write them at any moment anyway, so the order of
// journal and file writes a commit relies on is unchanged.
class SQLiteWriteBehind {
 public:
  // Does nothing for saves bringing fewer than `kFromBytes` of blobs, or
  // for a database without a file.
  SQLiteWriteBehind(sqlite3* db, qint64 blobBytes);
  ~SQLiteWriteBehind();
  SQLiteWriteBehind(const SQLiteWriteBehind&) = delete;
  SQLiteWriteBehind& operator=(const SQLiteWriteBehind&) = delete;

  // After a row is written: starts writing what the file has been given.
  void rowWritten();

  static constexpr qint64 kFromBytes = qint64(4) << 20;

 private:
  int file_ = -1;
};

}  // namespace cd
