// Filter plug-ins (the CIPlugIn role): shared libraries in the plug-in
// folders, each exporting one C entry point that registers its filters
// through the registrar it is handed. None ship with the program; a library
// that cannot be loaded or lacks the entry point is skipped with a log line.
#pragma once

#include <QStringList>
#include <QVariantMap>

#include "coreimage/Filter.h"
#include "foundation/Error.h"

namespace ci {

// What a plug-in's entry point receives. Calls go through this interface so
// the filters land in the program's registry, not in a copy of it.
class PlugInRegistrar {
 public:
  virtual ~PlugInRegistrar() = default;
  virtual void registerFilterName(const QString& name, FilterConstructor constructor,
                                  const QVariantMap& classAttributes) = 0;
};

// The entry point every plug-in exports, by this name:
//   extern "C" bool TessalyRegisterFilterPlugIn(ci::PlugInRegistrar* registrar);
inline constexpr const char* kPlugInEntryPoint = "TessalyRegisterFilterPlugIn";
using PlugInEntryPoint = bool (*)(PlugInRegistrar*);

class PlugIn {
 public:
  // ~/.local/share/Tessaly/filters (XDG data home) and the install prefix's share/Tessaly/filters.
  static QStringList plugInFolders();
  // Loads every library in the plug-in folders not loaded before; returns how many loaded.
  static int loadAllPlugIns();
  static bool loadPlugIn(const QString& path, fnd::Error* error = nullptr);
};

}  // namespace ci
