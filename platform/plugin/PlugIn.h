// A plug-in on disk: a description (a property list beside the library)
// naming the shared library, its factories by UUID with the function that
// makes each, and the plug-in types each factory makes. Loading opens the
// library with dlopen; its code stays loaded until the process ends.
#pragma once

#include <QList>
#include <QString>
#include <QVariantMap>
#include <map>
#include <memory>

#include "foundation/Error.h"
#include "plugin/UUID.h"

namespace plugin {

// Keys of the description.
inline const QString PlugInExecutableKey = QStringLiteral("CFBundleExecutable");
// Dictionary: factory UUID -> name of the exported factory function.
inline const QString PlugInFactoriesKey = QStringLiteral("CFPlugInFactories");
// Dictionary: type UUID -> array of factory UUIDs.
inline const QString PlugInTypesKey = QStringLiteral("CFPlugInTypes");

class PlugIn {
 public:
  ~PlugIn();
  PlugIn(const PlugIn&) = delete;
  PlugIn& operator=(const PlugIn&) = delete;

  // Reads the description at `path` and loads its library (a relative
  // executable name is taken from the description's folder). Null with
  // `error` filled when either cannot be read or the library lacks a
  // function the description names.
  static std::unique_ptr<PlugIn> createWithDescription(const QString& path,
                                                       fnd::Error* error = nullptr);

  QVariantMap description() const { return description_; }
  QString libraryPath() const { return libraryPath_; }
  // The factories that make `typeID`, in the description's order.
  QList<UUID> factoriesForPlugInType(const UUID& typeID) const;
  // An instance of `typeID` from `factoryID`: a pointer to its interface
  // table pointer (the caller owns one reference), or null.
  void* instanceCreate(const UUID& factoryID, const UUID& typeID) const;

 private:
  PlugIn() = default;
  QVariantMap description_;
  QString libraryPath_;
  void* handle_ = nullptr;
  std::map<UUID, void*> factories_;
};

}  // namespace plugin
