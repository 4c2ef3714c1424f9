#include <gtest/gtest.h>

#include <QFile>
#include <numeric>

#include "TestSupport.h"
#include "coredata/SQLiteDatabase.h"
#include "coredata/SQLiteMemory.h"
#include "coredata/SQLiteStatement.h"
#include "coredata/SQLiteWriteBehind.h"

namespace {

// Bytes no two rows share, so a buffer handed on with a previous row's
// tail would show in the stored value.
QByteArray rowBytes(int row, int size) {
  QByteArray bytes(size, Qt::Uninitialized);
  quint32 state = 2654435761u * quint32(row + 1);
  for (char& byte : bytes) {
    state = state * 1664525u + 1013904223u;
    byte = char(state >> 24);
  }
  return bytes;
}

void insertRows(cd::SQLiteDatabase& db, const std::vector<int>& sizes, int firstRow,
                cd::SQLiteWriteBehind* writeBehind) {
  ASSERT_TRUE(db.exec("BEGIN IMMEDIATE", nullptr));
  cd::SQLiteStatement insert(db, "INSERT INTO rows (id, name, data, tail) VALUES (?, ?, ?, ?)");
  for (size_t i = 0; i < sizes.size(); ++i) {
    const int row = firstRow + int(i);
    insert.reset();
    insert.bind(1, qint64(row));
    insert.bind(2, QStringLiteral("row %1").arg(row));
    insert.bind(3, rowBytes(row, sizes[i]));
    insert.bind(4, qint64(row * 7));  // a column after the blob, as a layer's image has
    ASSERT_EQ(insert.step(), cd::SQLiteStatement::Done);
    if (writeBehind) writeBehind->rowWritten();
  }
  ASSERT_TRUE(db.exec("COMMIT", nullptr));
}

}  // namespace

// Rows of megabytes written while large blocks are kept reuse one row
// buffer, whatever their order of sizes; outside such a save nothing is
// kept. Every row reads back whole, through this connection and through
// the sqlite3 shell, and the file is sound.
TEST(SQLiteMemory, LargeRowsOfASaveShareTheirBufferAndReadBackWhole) {
  const QString path = tst::tempPath("large-rows.sqlite");
  QFile::remove(path);
  cd::SQLiteDatabase db;
  ASSERT_TRUE(db.open(path, false, true, nullptr));
  ASSERT_TRUE(cd::SQLiteMemory::installed()) << "something started SQLite before the store";
  ASSERT_TRUE(db.exec("PRAGMA page_size = 65536; VACUUM", nullptr));
  ASSERT_TRUE(db.exec(
      "CREATE TABLE rows (id INTEGER PRIMARY KEY, name TEXT, data BLOB, tail INTEGER)", nullptr));

  const std::vector<int> kept = {3 << 20, 2 << 20, (7 << 19) + 13, 1 << 20, 3 << 20, 100};
  const long largeBefore = cd::SQLiteMemory::largeAllocations();
  const long reusedBefore = cd::SQLiteMemory::reusedAllocations();
  {
    cd::SQLiteMemory::KeepLargeBlocks keeping;
    cd::SQLiteWriteBehind writeBehind(db.handle(), std::accumulate(kept.begin(), kept.end(), 0));
    insertRows(db, kept, 0, &writeBehind);
  }
  const long large = cd::SQLiteMemory::largeAllocations() - largeBefore;
  const long reused = cd::SQLiteMemory::reusedAllocations() - reusedBefore;
  EXPECT_GE(large, 5);           // a row buffer per row of a megabyte or more
  EXPECT_GE(reused, large - 2);  // only the first, and one larger than any before, are new

  const std::vector<int> unkept = {2 << 20, 2 << 20};
  insertRows(db, unkept, int(kept.size()), nullptr);
  EXPECT_EQ(cd::SQLiteMemory::reusedAllocations() - reusedBefore, reused);

  std::vector<int> sizes = kept;
  sizes.insert(sizes.end(), unkept.begin(), unkept.end());
  for (int row = 0; row < int(sizes.size()); ++row) {
    QByteArray stored;
    ASSERT_TRUE(db.readBlob("rows", "data", row, &stored)) << row;
    EXPECT_TRUE(stored == rowBytes(row, sizes[row])) << "row " << row;
  }
  db.close();

  if (!tst::haveTool("sqlite3")) GTEST_SKIP() << "sqlite3 missing";
  QString output;
  ASSERT_EQ(tst::runTool("sqlite3",
                         {path,
                          "PRAGMA integrity_check; SELECT id, length(data), "
                          "hex(substr(data, length(data) - 3, 4)), tail "
                          "FROM rows ORDER BY id"},
                         &output),
            0);
  QStringList expected{"ok"};
  for (int row = 0; row < int(sizes.size()); ++row) {
    const QByteArray bytes = rowBytes(row, sizes[row]);
    expected << QStringLiteral("%1|%2|%3|%4")
                    .arg(row)
                    .arg(sizes[row])
                    .arg(QString::fromLatin1(bytes.right(4).toHex().toUpper()))
                    .arg(row * 7);
  }
  EXPECT_EQ(output.trimmed().split('\n'), expected);
}

// A large blob is read into the memory of the last one read, but only once
// nobody holds that one any more: bytes still held never change.
TEST(SQLiteMemory, ALargeBlobReusesTheLastOnesMemoryOnlyOnceItsReaderLetItGo) {
  const QString path = tst::tempPath("reused-reads.sqlite");
  QFile::remove(path);
  cd::SQLiteDatabase db;
  ASSERT_TRUE(db.open(path, false, true, nullptr));
  ASSERT_TRUE(db.exec(
      "CREATE TABLE rows (id INTEGER PRIMARY KEY, name TEXT, data BLOB, tail INTEGER)", nullptr));
  const std::vector<int> sizes = {3 << 20, (3 << 20) + 4096, 3 << 20, 2 << 20, 5 << 20};
  insertRows(db, sizes, 0, nullptr);
  auto read = [&](int row) {
    QByteArray bytes;
    EXPECT_TRUE(db.readBlob("rows", "data", row, &bytes));
    EXPECT_TRUE(bytes == rowBytes(row, sizes[row])) << "row " << row;
    return bytes;
  };

  QByteArray first = read(0);
  const char* firstMemory = first.constData();
  QByteArray second = read(1);  // the first is still held
  EXPECT_NE(second.constData(), firstMemory);
  EXPECT_TRUE(first == rowBytes(0, sizes[0]));
  const char* secondMemory = second.constData();
  first = second = QByteArray();  // both let go
  QByteArray third = read(2);
  EXPECT_EQ(third.constData(), secondMemory);  // the last one read
  third = QByteArray();
  EXPECT_EQ(read(3).constData(), secondMemory);  // smaller: still fits
  QByteArray larger = read(4);                   // does not fit: new memory
  EXPECT_NE(larger.constData(), secondMemory);
  larger = QByteArray();
  db.releaseReadBuffer();
  EXPECT_TRUE(read(4) == rowBytes(4, sizes[4]));
}
