// Points libgphoto2 at its directory driver only (a folder as a camera),
// before the library first loads its drivers in the process. Loading every
// driver also loads the image libraries some of them link, whose start-up
// code has crashed under the sanitizers now and then; the tests need none
// of them.
#pragma once

#include <QFile>
#include <QTemporaryDir>

namespace captest {

inline bool useGPhotoDirectoryDriver() {
  static QTemporaryDir folder;
  const QString driver = QStringLiteral(TESSALY_GPHOTO_DRIVERS "/directory.so");
  if (!folder.isValid() || !QFile::link(driver, folder.filePath("directory.so"))) return false;
  return qputenv("CAMLIBS", QFile::encodeName(folder.path()));
}

}  // namespace captest
