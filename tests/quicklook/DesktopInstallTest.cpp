#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcessEnvironment>
#include <QSettings>

#include "QuickLookTestStores.h"
#include "TestSupport.h"

namespace {

const QString kPrefix = QStringLiteral("/usr/local");

// Sets an environment variable for the tools run while it lives.
class ScopedEnvironment {
 public:
  ScopedEnvironment(const char* name, const QByteArray& value)
      : name_(name), had_(qEnvironmentVariableIsSet(name)), saved_(qgetenv(name)) {
    qputenv(name, value);
  }
  ~ScopedEnvironment() {
    if (had_)
      qputenv(name_, saved_);
    else
      qunsetenv(name_);
  }

 private:
  const char* name_;
  bool had_;
  QByteArray saved_;
};

// The build installed under a staging folder, as `make install DESTDIR=…`.
QString installedTree() {
  const QString destination = tst::tempPath("staging");
  ScopedEnvironment destdir("DESTDIR", destination.toLocal8Bit());
  QString log;
  EXPECT_EQ(tst::runTool("cmake", {"--install", TESSALY_BINARY_DIR, "--prefix", kPrefix}, &log), 0)
      << log.toStdString();
  return destination + kPrefix;
}

}  // namespace

// Installing puts the program, the thumbnailer and the plug-in where they
// find each other, and the desktop's files where the desktop reads them;
// the installed thumbnailer works from there.
TEST(DesktopInstallTest, InstallsEveryPartWhereItIsFound) {
  const QString root = installedTree();
  for (const char* file :
       {"bin/tessaly", "bin/tessaly-thumbnailer", "lib/tessaly/libTessalyQuickLook.so",
        "lib/tessaly/TessalyQuickLook.plist", "share/mime/packages/tessaly.xml",
        "share/thumbnailers/tessaly.thumbnailer", "share/applications/com.brenwick.tessaly.desktop",
        "share/icons/hicolor/scalable/apps/tessaly.svg"})
    EXPECT_TRUE(QFile::exists(root + "/" + file)) << file;

  QSettings entry(root + "/share/thumbnailers/tessaly.thumbnailer", QSettings::IniFormat);
  EXPECT_EQ(entry.value("Thumbnailer Entry/Exec").toString(), "tessaly-thumbnailer -s %s %i %o");

  const QString document = tst::tempPath("installed.zova");
  writeStore(document, QSizeF(300, 100), {{QRect(0, 0, 150, 100), Qt::magenta}});
  const QString png = tst::tempPath("installed.png");
  ScopedEnvironment noOverride("TESSALY_QUICKLOOK_PLUGIN", QByteArray());
  QString log;
  ASSERT_EQ(tst::runTool(root + "/bin/tessaly-thumbnailer", {"-s", "64", document, png}, &log), 0)
      << log.toStdString();
  EXPECT_EQ(QImage(png).size(), QSize(64, 21));
}

// The installed entries pass the desktop's own checks: the program's entry
// validates, and once the MIME database is built a .zova file is known by
// the new type, while another SQLite file stays SQLite.
TEST(DesktopInstallTest, DesktopRecognisesTheEntriesAndTheType) {
  const QString root = installedTree();
  QString log;
  if (tst::haveTool("desktop-file-validate")) {
    EXPECT_EQ(tst::runTool("desktop-file-validate",
                           {root + "/share/applications/com.brenwick.tessaly.desktop"}, &log),
              0)
        << log.toStdString();
  }
  if (!tst::haveTool("update-mime-database") || !tst::haveTool("gio")) return;
  ASSERT_EQ(tst::runTool("update-mime-database", {root + "/share/mime"}, &log), 0)
      << log.toStdString();
  const QString document = tst::tempPath("typed.zova");
  writeStore(document, QSizeF(30, 20), {{QRect(0, 0, 30, 20), Qt::cyan}});
  const QString plain = tst::tempPath("plain.sqlite");
  QFile::copy(document, plain);
  ScopedEnvironment dataDirs("XDG_DATA_DIRS", (root + "/share:/usr/share").toLocal8Bit());
  ScopedEnvironment home("XDG_DATA_HOME", tst::tempPath("no-user-data").toLocal8Bit());
  struct Case {
    QString file;
    QString type;
  } cases[] = {{document, "application/x-tessaly-zova"}, {plain, "application/vnd.sqlite3"}};
  for (const Case& c : cases) {
    ASSERT_EQ(tst::runTool("gio", {"info", "-a", "standard::content-type", c.file}, &log), 0)
        << log.toStdString();
    EXPECT_TRUE(log.contains("standard::content-type: " + c.type)) << log.toStdString();
  }
  if (tst::haveTool("xdg-mime")) {
    ScopedEnvironment desktop("XDG_CURRENT_DESKTOP", "GNOME");
    EXPECT_EQ(tst::runTool("xdg-mime", {"query", "filetype", document}, &log), 0);
    EXPECT_EQ(log.trimmed(), "application/x-tessaly-zova");
  }
}
