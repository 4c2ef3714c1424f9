#include "plugin/PlugIn.h"

#include <dlfcn.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "foundation/PropertyList.h"
#include "plugin/PlugInCOM.h"

namespace plugin {

namespace {

bool fail(fnd::Error* error, const QString& why) {
  return fnd::fail(error, fnd::CocoaErrorDomain, fnd::FileReadCorruptFileError, why);
}

bool readDescription(const QString& path, QVariantMap* description, fnd::Error* error) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly))
    return fnd::fail(error, fnd::CocoaErrorDomain, fnd::FileReadNoSuchFileError,
                     QStringLiteral("The plug-in description %1 cannot be read.").arg(path));
  const QVariant plist = fnd::PropertyList::propertyListWithData(file.readAll(), nullptr, error);
  if (plist.typeId() != QMetaType::QVariantMap)
    return fail(error, QStringLiteral("The plug-in description %1 is not a dictionary.").arg(path));
  *description = plist.toMap();
  return true;
}

}  // namespace

PlugIn::~PlugIn() {
  if (handle_) dlclose(handle_);
}

std::unique_ptr<PlugIn> PlugIn::createWithDescription(const QString& path, fnd::Error* error) {
  std::unique_ptr<PlugIn> plugIn(new PlugIn);
  if (!readDescription(path, &plugIn->description_, error)) return nullptr;
  const QString executable = plugIn->description_.value(PlugInExecutableKey).toString();
  if (executable.isEmpty()) {
    fail(error, QStringLiteral("The plug-in description %1 names no library.").arg(path));
    return nullptr;
  }
  plugIn->libraryPath_ = QFileInfo(path).dir().absoluteFilePath(executable);
  // Local binding: the plug-in's own copies of what it links never
  // answer for the host's, nor the host's for its. Its code stays loaded
  // to the end of the process: what it registered with the libraries it
  // shares with the host (Qt's resources and types) points into it.
  plugIn->handle_ = dlopen(QFile::encodeName(plugIn->libraryPath_).constData(),
                           RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
  if (!plugIn->handle_) {
    fail(error, QStringLiteral("The plug-in library %1 cannot be loaded: %2")
                    .arg(plugIn->libraryPath_, QString::fromLocal8Bit(dlerror())));
    return nullptr;
  }
  const QVariantMap factories = plugIn->description_.value(PlugInFactoriesKey).toMap();
  for (auto it = factories.begin(); it != factories.end(); ++it) {
    const UUID factoryID = UUID::fromString(it.key());
    void* function = dlsym(plugIn->handle_, it.value().toString().toUtf8().constData());
    if (factoryID.isNull() || !function) {
      fail(error, QStringLiteral("The plug-in %1 has no factory %2 (%3).")
                      .arg(path, it.key(), it.value().toString()));
      return nullptr;
    }
    plugIn->factories_[factoryID] = function;
  }
  return plugIn;
}

QList<UUID> PlugIn::factoriesForPlugInType(const UUID& typeID) const {
  const QVariantMap types = description_.value(PlugInTypesKey).toMap();
  QList<UUID> found;
  for (auto it = types.begin(); it != types.end(); ++it) {
    if (UUID::fromString(it.key()) != typeID) continue;
    for (const QVariant& factory : it.value().toList()) {
      const UUID factoryID = UUID::fromString(factory.toString());
      if (factories_.count(factoryID)) found.append(factoryID);
    }
  }
  return found;
}

void* PlugIn::instanceCreate(const UUID& factoryID, const UUID& typeID) const {
  auto found = factories_.find(factoryID);
  if (found == factories_.end()) return nullptr;
  auto factory = reinterpret_cast<PlugInFactoryFunction>(found->second);
  return factory(nullptr, typeID.bytes());
}

}  // namespace plugin
