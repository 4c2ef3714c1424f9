#include "coreimage/PlugIn.h"

#include <QDir>
#include <QLibrary>
#include <QMutex>
#include <QSet>
#include <QStandardPaths>

#include "coreimage/FilterRegistry.h"

#ifndef TESSALY_INSTALL_PREFIX
#define TESSALY_INSTALL_PREFIX "/usr/local"
#endif

namespace ci {

namespace {

const QString kPlugInErrorDomain = QStringLiteral("CIPlugIn");

class RegistryRegistrar : public PlugInRegistrar {
 public:
  void registerFilterName(const QString& name, FilterConstructor constructor,
                          const QVariantMap& classAttributes) override {
    FilterRegistry::shared().registerFilterName(name, std::move(constructor), classAttributes);
  }
};

QMutex loadedMutex;
QSet<QString> loadedPaths;

}  // namespace

QStringList PlugIn::plugInFolders() {
  return {QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
              QStringLiteral("/Tessaly/filters"),
          QStringLiteral(TESSALY_INSTALL_PREFIX "/share/Tessaly/filters")};
}

bool PlugIn::loadPlugIn(const QString& path, fnd::Error* error) {
  const QString canonical = QFileInfo(path).canonicalFilePath();
  {
    QMutexLocker lock(&loadedMutex);
    if (loadedPaths.contains(canonical)) return true;
  }
  // Libraries stay loaded for the life of the program: their filters may be in use.
  QLibrary library(path);
  if (!library.load())
    return fnd::fail(
        error, kPlugInErrorDomain, 1,
        QStringLiteral("cannot load filter plug-in %1: %2").arg(path, library.errorString()));
  auto entry = reinterpret_cast<PlugInEntryPoint>(library.resolve(kPlugInEntryPoint));
  if (!entry) {
    library.unload();
    return fnd::fail(error, kPlugInErrorDomain, 2,
                     QStringLiteral("filter plug-in %1 has no %2").arg(path, kPlugInEntryPoint));
  }
  RegistryRegistrar registrar;
  if (!entry(&registrar))
    return fnd::fail(error, kPlugInErrorDomain, 3,
                     QStringLiteral("filter plug-in %1 refused to register").arg(path));
  QMutexLocker lock(&loadedMutex);
  loadedPaths.insert(canonical);
  return true;
}

int PlugIn::loadAllPlugIns() {
  int loaded = 0;
  for (const QString& folder : plugInFolders()) {
    const QFileInfoList files =
        QDir(folder).entryInfoList({QStringLiteral("*.so")}, QDir::Files, QDir::Name);
    for (const QFileInfo& file : files) {
      fnd::Error error;
      if (loadPlugIn(file.filePath(), &error))
        ++loaded;
      else
        qWarning("ci: skipping filter plug-in: %s", qPrintable(error.localizedDescription()));
    }
  }
  return loaded;
}

}  // namespace ci
