#include "capture/DeviceDiscovery.h"

#include "capture/GPhotoCamera.h"
#include "capture/SaneScanner.h"
#include "foundation/Error.h"

namespace capture {

QList<DevicePtr> discoverDevices(const QStringList& cameraFolders, fnd::Error* error) {
  fnd::Error scannerError, cameraError;
  QList<DevicePtr> devices = GPhotoCamera::cameras(cameraFolders, &cameraError);
  devices += SaneScanner::scanners(&scannerError);
  if (error) *error = scannerError.isNull() ? cameraError : scannerError;
  return devices;
}

}  // namespace capture
