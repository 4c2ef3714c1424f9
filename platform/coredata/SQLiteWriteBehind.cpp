#include "coredata/SQLiteWriteBehind.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <unistd.h>

namespace cd {

SQLiteWriteBehind::SQLiteWriteBehind(sqlite3* db, qint64 blobBytes) {
  if (blobBytes < kFromBytes || !db) return;
  const char* path = sqlite3_db_filename(db, "main");
  // Writeback is per file, not per descriptor: a read-only one serves.
  if (path && *path) file_ = ::open(path, O_RDONLY | O_CLOEXEC);
}

SQLiteWriteBehind::~SQLiteWriteBehind() {
  if (file_ >= 0) ::close(file_);
}

void SQLiteWriteBehind::rowWritten() {
  // Asynchronous: queues the dirty pages for writing and returns. A
  // failure here only leaves the writing to the commit's sync.
  if (file_ >= 0) ::sync_file_range(file_, 0, 0, SYNC_FILE_RANGE_WRITE);
}

}  // namespace cd
