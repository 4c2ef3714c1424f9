#include <gtest/gtest.h>
#include <sqlite3.h>

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QImage>

#include "QuickLookTestStores.h"
#include "TestSupport.h"

namespace {

QByteArray digestOf(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly)
             ? QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256)
             : QByteArray();
}

// Runs the thumbnailer with its own empty temporary folder, which must
// still be empty afterwards, and a runtime folder, as the desktop gives it.
int runThumbnailer(const QStringList& arguments, QString* output) {
  const QString temporary = tst::tempPath("thumbnailer-tmp");
  const QString runtime = tst::tempPath("thumbnailer-runtime");
  QDir().mkpath(temporary);
  QDir().mkpath(runtime);
  QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  const QByteArray savedTemporary = qgetenv("TMPDIR"), savedRuntime = qgetenv("XDG_RUNTIME_DIR");
  qputenv("TMPDIR", temporary.toLocal8Bit());
  qputenv("XDG_RUNTIME_DIR", runtime.toLocal8Bit());
  const int code = tst::runTool(TESSALY_THUMBNAILER, arguments, output);
  qputenv("TMPDIR", savedTemporary);
  qputenv("XDG_RUNTIME_DIR", savedRuntime);
  EXPECT_TRUE(QDir(temporary).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot))
      << QDir(temporary).entryList().join(' ').toStdString();
  return code;
}

QString folderOf(const QString& name) {
  const QString folder = tst::tempPath(name);
  QDir().mkpath(folder);
  return folder;
}

void writeSQLite(const QString& path, const char* sql) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(QFile::encodeName(path).constData(), &db), SQLITE_OK);
  EXPECT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK);
  sqlite3_close(db);
}

}  // namespace

// A document with a half-transparent layer and a text layer thumbnails to
// an RGBA PNG within the asked size, its transparency kept; the document
// is byte for byte as before and nothing appears beside it.
TEST(ThumbnailerProcessTest, WritesAnRGBAThumbnailAndLeavesTheDocumentAlone) {
  const QString folder = folderOf("thumbnail-ok");
  const QString input = folder + "/layers and text.zova";
  writeStore(input, QSizeF(1200, 600),
             {{QRect(60, 300, 700, 200), QColor(20, 20, 20), 1, "Tessaly"},
              {QRect(0, 0, 600, 600), QColor(255, 0, 0), 0.5}});
  const QByteArray before = digestOf(input);
  const QStringList filesBefore = filesIn(folder);
  struct Case {
    QStringList options;
    QSize size;
  } cases[] = {
      {{"-s", "256"}, {256, 128}},
      {{"-s", "128"}, {128, 64}},
      {{"--preview"}, {1024, 512}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.options.join(' ').toStdString());
    const QString output = tst::tempPath("thumbnail.png");
    QString log;
    ASSERT_EQ(runThumbnailer(c.options + QStringList{input, output}, &log), 0) << log.toStdString();
    tst::saveArtifact(output, "thumbnailer-" + c.options.join("").remove('-') + ".png");
    const QImage png(output, "PNG");
    ASSERT_EQ(png.size(), c.size);
    EXPECT_TRUE(png.hasAlphaChannel());
    const int w = c.size.width(), h = c.size.height();
    // Left half: the red layer at half opacity; right: clear, under the text.
    EXPECT_NEAR(png.pixelColor(w / 8, h - 2).alpha(), 128, 3);
    EXPECT_NEAR(png.pixelColor(w / 8, h - 2).red(), 255, 3);
    EXPECT_EQ(png.pixelColor(w - 2, h - 2).alpha(), 0);
    // The text darkens some pixels of its line and leaves the others.
    int dark = 0;
    for (int x = 0; x < w; ++x)
      for (int y = h / 6; y < h / 2; ++y)
        if (png.pixelColor(x, y).alpha() > 200 && png.pixelColor(x, y).red() < 80) ++dark;
    EXPECT_GT(dark, w * h / 200);
    if (tst::haveTool("pngcheck")) {
      QString check;
      EXPECT_EQ(tst::runTool("pngcheck", {"-v", output}, &check), 0) << check.toStdString();
      EXPECT_TRUE(check.contains("RGB+alpha")) << check.toStdString();
    }
    QFile::remove(output);
  }
  EXPECT_EQ(digestOf(input), before);
  EXPECT_EQ(filesIn(folder), filesBefore);
}

// Files that give no image: the thumbnailer fails and writes nothing.
TEST(ThumbnailerProcessTest, FailsWithoutOutputForFilesThatGiveNoImage) {
  const QString folder = folderOf("thumbnail-fail");
  const QString notSQLite = folder + "/text.zova";
  QFile text(notSQLite);
  ASSERT_TRUE(text.open(QIODevice::WriteOnly));
  text.write("This is not a database, whatever its name.\n");
  text.close();
  const QString otherSQLite = folder + "/other.zova";
  writeSQLite(otherSQLite,
              "CREATE TABLE notes (id INTEGER PRIMARY KEY, body TEXT);"
              "INSERT INTO notes VALUES (1, 'hello');");
  const QString rootless = folder + "/rootless.zova";
  writeRootlessStore(rootless);
  const QString truncated = folder + "/truncated.zova";
  writeStore(truncated, QSizeF(300, 200), {{QRect(0, 0, 300, 200), Qt::green}});
  QFile cut(truncated);
  ASSERT_TRUE(cut.resize(cut.size() / 2));
  const QString hugeSide = folder + "/huge-side.zova";
  writeStore(hugeSide, QSizeF(40000, 100), {{QRect(0, 0, 10, 10), Qt::green}});
  const QString hugeArea = folder + "/huge-area.zova";
  writeStore(hugeArea, QSizeF(20000, 20000), {{QRect(0, 0, 10, 10), Qt::green}});
  const QString nonFinite = folder + "/nan.zova";
  writeStore(nonFinite, QSizeF(qQNaN(), 100), {{QRect(0, 0, 10, 10), Qt::green}});

  for (const QString& input :
       {notSQLite, otherSQLite, rootless, truncated, hugeSide, hugeArea, nonFinite}) {
    SCOPED_TRACE(input.toStdString());
    const QString output = tst::tempPath("never.png");
    QString log;
    EXPECT_NE(runThumbnailer({"-s", "128", input, output}, &log), 0) << log.toStdString();
    EXPECT_FALSE(QFile::exists(output));
  }
  QString log;
  EXPECT_NE(runThumbnailer({"-s", "0", rootless, tst::tempPath("never.png")}, &log), 0);
  EXPECT_NE(runThumbnailer({"-s", "128", rootless}, &log), 0);
}
