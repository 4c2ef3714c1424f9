#include <gtest/gtest.h>
#include <sqlite3.h>

#include <QDir>
#include <QFile>
#include <QUrl>

#include "KeptJournal.h"
#include "QuickLookTestStores.h"
#include "TestSupport.h"
#include "coredata/SQLiteJournal.h"
#include "model/ComposedImage.h"
#include "model/Layer.h"
#include "quicklook/IMDocument.h"

namespace {

QByteArray bytesOf(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The store's rows changed by another save that stopped before removing
// its journal: the file holds the changes, the journal the store as
// written.
void changeAndStopBeforeTheJournalGoes(const QString& path) {
  tst::KeptJournal kept;
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(QFile::encodeName(path).constData(), &db), SQLITE_OK);
  EXPECT_EQ(sqlite3_exec(db,
                         "BEGIN; DELETE FROM ZLAYER; UPDATE ZCOMPOSEDIMAGE SET ZWIDTH = 7; "
                         "COMMIT;",
                         nullptr, nullptr, nullptr),
            SQLITE_OK)
      << sqlite3_errmsg(db);
  sqlite3_close(db);
}

}  // namespace

// The preview of a document whose last save never finished shows the
// document as it was before that save, read from a rolled-back private
// copy: the file and its journal stay byte for byte as they were, and the
// copy is gone with the document.
TEST(MidSaveDocumentTest, APreviewOfADocumentLeftMidSaveShowsItAsBeforeThatSave) {
  const QString path = tst::tempPath("mid-save.zova");
  writeStore(path, QSizeF(40, 30), {StoreLayer(QRect(0, 0, 40, 30), Qt::red)});
  changeAndStopBeforeTheJournalGoes(path);
  const QString journal = cd::SQLiteJournal::pathFor(path);
  ASSERT_TRUE(QFile::exists(journal));
  const QByteArray file = bytesOf(path), kept = bytesOf(journal);

  const QString temporary = tst::tempPath("mid-save-tmp");
  QDir().mkpath(temporary);
  const QByteArray oldTemporary = qgetenv("TMPDIR");
  qputenv("TMPDIR", temporary.toLocal8Bit());
  {
    auto document = quicklook::IMDocument::generateDocumentForQuickLookWithURL(
        QUrl::fromLocalFile(path), "com.brenwick.tessaly");
    ASSERT_TRUE(document);
    ComposedImage* image = document->composedImage();
    ASSERT_TRUE(image);
    EXPECT_EQ(image->size(), QSizeF(40, 30));
    EXPECT_EQ(image->layersArray().size(), 1);
    EXPECT_FALSE(document->finalImageTiffDataResizedTo(QSizeF(20, 15)).isEmpty());
    document->close();
  }
  qputenv("TMPDIR", oldTemporary);
  EXPECT_EQ(bytesOf(path), file);
  EXPECT_EQ(bytesOf(journal), kept);
  EXPECT_TRUE(filesIn(temporary).isEmpty()) << filesIn(temporary).join(' ').toStdString();
}
