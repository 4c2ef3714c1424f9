#pragma once

#include <QList>
#include <QStringList>

#include "capture/Device.h"

namespace capture {

// Every scanner SANE finds and every camera libgphoto2 detects, then a camera
// for each folder of `cameraFolders`. Blocks on the drivers: call it off the
// main thread. A driver that fails leaves its devices out and fills `error`.
QList<DevicePtr> discoverDevices(const QStringList& cameraFolders, fnd::Error* error);

}  // namespace capture
