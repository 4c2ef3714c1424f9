// The main of every test program: a Qt application on the offscreen
// platform, user defaults in a private folder, then GoogleTest. Folders whose
// code may not use QtWidgets run under a QGuiApplication, so a widget slipping
// into them fails to link instead of passing unnoticed.
#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>
#include <cstdlib>

namespace {

QString& configFolder() {
  static QString* path = new QString;  // still there when the exit handler runs
  return *path;
}

}  // namespace

#ifdef TESSALY_TEST_WIDGETS
#include <QApplication>
using TestApplication = QApplication;
#else
#include <QGuiApplication>
using TestApplication = QGuiApplication;
#endif

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  // Tests never read or write the user's own settings. The user defaults
  // write their file once more when their static goes, after main returns,
  // so the folder is removed by an exit handler registered before them.
  QTemporaryDir config(QDir::tempPath() + "/tessaly-config-XXXXXX");
  config.setAutoRemove(false);
  configFolder() = config.path();
  std::atexit([] { QDir(configFolder()).removeRecursively(); });
  qputenv("TESSALY_CONFIG_HOME", config.path().toLocal8Bit());

  ::testing::InitGoogleTest(&argc, argv);
  TestApplication app(argc, argv);
  QCoreApplication::setOrganizationName("Tessaly");
  QCoreApplication::setApplicationName("Tessaly");
  return RUN_ALL_TESTS();
}
