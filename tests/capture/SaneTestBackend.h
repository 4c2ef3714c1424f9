// Points SANE at its `test` backend only (a scanner on any machine), before
// the library is first initialised in the process.
#pragma once

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace captest {

inline bool useSaneTestBackend() {
  static QTemporaryDir folder;
  QFile list(folder.filePath("dll.conf"));
  if (!folder.isValid() || !list.open(QIODevice::WriteOnly)) return false;
  list.write("test\n");
  list.close();
  return qputenv("SANE_CONFIG_DIR", QFile::encodeName(folder.path()));
}

}  // namespace captest
