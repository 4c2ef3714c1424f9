#include "coredata/SQLiteDatabase.h"

#include <sqlite3.h>
#include <sys/mman.h>

#include <atomic>
#include <cstdint>
#include <utility>

#include "coredata/SQLiteMemory.h"
#include "coredata/SQLiteStatement.h"
#include "foundation/FreshPages.h"

namespace cd {
namespace {

std::atomic<bool> largePagesForBlobs{false};

// Blobs of this many bytes or more (a layer's pixels) are the large ones.
constexpr int kLargeBlobBytes = 1 << 20;

// A large blob is fresh memory the kernel maps as it is written: its pages
// are mapped in one call, or, when asked for, taken in 2 MiB pages rather
// than 4 KiB ones, which takes a few dozen faults instead of thousands.
// Only the whole large pages inside the buffer are asked for, and the
// kernel may refuse.
void prepareFreshBuffer(char* data, size_t size) {
  if (!largePagesForBlobs.load(std::memory_order_relaxed))
    return fnd::FreshPages::mapForWriting(data, size);
#ifdef MADV_HUGEPAGE
  constexpr uintptr_t kLargePage = uintptr_t(2) << 20;
  const uintptr_t first = (reinterpret_cast<uintptr_t>(data) + kLargePage - 1) & ~(kLargePage - 1);
  const uintptr_t end = (reinterpret_cast<uintptr_t>(data) + size) & ~(kLargePage - 1);
  if (end > first) madvise(reinterpret_cast<void*>(first), end - first, MADV_HUGEPAGE);
#else
  (void)data, (void)size;
#endif
}

}  // namespace

SQLiteDatabase::~SQLiteDatabase() { close(); }

void SQLiteDatabase::setLargePagesForBlobs(bool large) { largePagesForBlobs = large; }

bool SQLiteDatabase::open(const QString& path, bool readOnly, bool create, fnd::Error* error) {
  close();
  SQLiteMemory::install();
  int flags = readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE;
  if (create && !readOnly) flags |= SQLITE_OPEN_CREATE;
  int code = sqlite3_open_v2(path.toUtf8().constData(), &db_, flags | SQLITE_OPEN_NOMUTEX, nullptr);
  if (code != SQLITE_OK) {
    fnd::Error failure = lastError(QStringLiteral("opening %1").arg(path));
    if (db_) sqlite3_close(db_);
    db_ = nullptr;
    return fnd::fail(error, failure);
  }
  sqlite3_extended_result_codes(db_, 1);
  return true;
}

void SQLiteDatabase::close() {
  releaseReadBuffer();
  if (!db_) return;
  sqlite3_close_v2(db_);
  db_ = nullptr;
}

bool SQLiteDatabase::isAtItsPath() const {
  int moved = 0;
  if (!db_ || sqlite3_file_control(db_, "main", SQLITE_FCNTL_HAS_MOVED, &moved) != SQLITE_OK)
    return true;  // a memory database has no path to leave
  return moved == 0;
}

bool SQLiteDatabase::copyTo(const QString& path, fnd::Error* error) {
  SQLiteDatabase target;
  if (!target.open(path, false, true, error)) return false;
  sqlite3_backup* backup = sqlite3_backup_init(target.db_, "main", db_, "main");
  if (!backup) return fnd::fail(error, target.lastError(QStringLiteral("copying to %1").arg(path)));
  const int step = sqlite3_backup_step(backup, -1);
  const int finish = sqlite3_backup_finish(backup);
  const int code = step == SQLITE_DONE ? finish : step;
  if (code != SQLITE_OK)
    return fnd::fail(error, errorForCode(code, QStringLiteral("copying to %1").arg(path),
                                         QString::fromUtf8(sqlite3_errstr(code))));
  target.close();
  return true;
}

bool SQLiteDatabase::exec(const QString& sql, fnd::Error* error) {
  char* message = nullptr;
  int code = sqlite3_exec(db_, sql.toUtf8().constData(), nullptr, nullptr, &message);
  if (code == SQLITE_OK) return true;
  QString text = message ? QString::fromUtf8(message) : QString();
  sqlite3_free(message);
  return fnd::fail(error, errorForCode(code, sql.left(80), text));
}

bool SQLiteDatabase::readBlob(const QString& table, const QString& column, qint64 rowid,
                              QByteArray* bytes) {
  sqlite3_blob* blob = nullptr;
  if (sqlite3_blob_open(db_, "main", table.toUtf8().constData(), column.toUtf8().constData(), rowid,
                        0, &blob) != SQLITE_OK) {
    sqlite3_blob_close(blob);
    return false;
  }
  const int size = sqlite3_blob_bytes(blob);
  QByteArray read = blobBuffer(size > 0 ? size : 0);
  const bool ok = size > 0 && sqlite3_blob_read(blob, read.data(), size, 0) == SQLITE_OK;
  sqlite3_blob_close(blob);
  if (!ok) return false;
  if (size >= kLargeBlobBytes) lastLargeBlob_ = read;
  *bytes = std::move(read);
  return true;
}

QByteArray SQLiteDatabase::blobBuffer(int size) {
  // Only a buffer nobody else holds any more may be written over.
  if (size >= kLargeBlobBytes && lastLargeBlob_.isDetached() && lastLargeBlob_.capacity() >= size) {
    QByteArray reused = std::exchange(lastLargeBlob_, QByteArray());
    reused.resize(size);
    return reused;
  }
  QByteArray fresh;
  // Layers of one document differ a little in size: room for the next.
  if (size >= kLargeBlobBytes) fresh.reserve(size + size / 16);
  fresh.resize(size);
  if (size >= kLargeBlobBytes) prepareFreshBuffer(fresh.data(), size_t(size));
  return fresh;
}

bool SQLiteDatabase::tableExists(const QString& table) {
  SQLiteStatement statement(*this, "SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = ?");
  statement.bind(1, table);
  return statement.step() == SQLiteStatement::Row;
}

QStringList SQLiteDatabase::columnsOfTable(const QString& table) {
  QStringList columns;
  SQLiteStatement statement(*this, QStringLiteral("PRAGMA table_info(\"%1\")").arg(table));
  while (statement.step() == SQLiteStatement::Row) columns.append(statement.columnText(1));
  return columns;
}

fnd::Error SQLiteDatabase::lastError(const QString& what) const {
  int code = db_ ? sqlite3_extended_errcode(db_) : SQLITE_CANTOPEN;
  QString message = db_ ? QString::fromUtf8(sqlite3_errmsg(db_)) : QStringLiteral("cannot open");
  return errorForCode(code, what, message);
}

fnd::Error SQLiteDatabase::errorForCode(int code, const QString& what, const QString& message) {
  int primary = code & 0xff;
  int cocoaCode = fnd::PersistentStoreOperationError;
  if (primary == SQLITE_NOTADB || primary == SQLITE_CORRUPT)
    cocoaCode = fnd::FileReadCorruptFileError;
  else if (primary == SQLITE_CANTOPEN)
    cocoaCode = fnd::PersistentStoreOpenError;
  else if (primary == SQLITE_FULL)
    cocoaCode = fnd::FileWriteOutOfSpaceError;
  else if (primary == SQLITE_READONLY || primary == SQLITE_PERM)
    cocoaCode = fnd::FileWriteNoPermissionError;
  return fnd::Error(fnd::CocoaErrorDomain, cocoaCode,
                    {{fnd::LocalizedDescriptionKey,
                      QStringLiteral("The store failed while %1: %2").arg(what, message)},
                     {"NSSQLiteErrorDomain", code}});
}

}  // namespace cd
