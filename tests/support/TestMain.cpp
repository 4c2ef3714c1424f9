// The main of every test program: a Qt application on the offscreen
// platform, user defaults in a private folder, then GoogleTest.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTemporaryDir>

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  // Tests never read or write the user's own settings.
  QTemporaryDir config(QDir::tempPath() + "/tessaly-config-XXXXXX");
  qputenv("TESSALY_CONFIG_HOME", config.path().toLocal8Bit());

  ::testing::InitGoogleTest(&argc, argv);
  QApplication app(argc, argv);
  QCoreApplication::setOrganizationName("Tessaly");
  QCoreApplication::setApplicationName("Tessaly");
  return RUN_ALL_TESTS();
}
