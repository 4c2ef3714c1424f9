// Writes the seed corpus of every fuzz target, all made by Tessaly's own
// encoders and archivers, so no file of unknown origin is ever committed:
// `fuzz_seeds FOLDER` fills FOLDER/<target>/ for each target.
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QTemporaryDir>
#include <cstdio>

#include "SeedWriter.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
    return 2;
  }
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QTemporaryDir config(QDir::tempPath() + "/tessaly-seeds-XXXXXX");
  qputenv("TESSALY_CONFIG_HOME", config.path().toLocal8Bit());
  QGuiApplication app(argc, argv);
  QCoreApplication::setOrganizationName("Tessaly");
  QCoreApplication::setApplicationName("Tessaly");
  SeedWriter writer(QString::fromLocal8Bit(argv[1]));
  return writer.writeAll() ? 0 : 1;
}
