// A scanner or a camera as the program sees it, whatever drives it (SANE for
// scanners, libgphoto2 for cameras). Every operation of a device may block
// on the hardware, so callers run them off the main thread (BackgroundWork).
#pragma once

#include <QString>
#include <atomic>
#include <functional>
#include <memory>

namespace fnd {
class Error;
}

namespace capture {

// The bits of Device::type(); the values are stored by interface files.
enum DeviceTypeMask : unsigned { DeviceTypeCamera = 0x1, DeviceTypeScanner = 0x2 };

// The domain and codes of device errors.
inline const QString ErrorDomain = QStringLiteral("com.brenwick.tessaly.capture");
enum ErrorCode {
  ErrorFailed = 1,
  ErrorBusy = 2,
  ErrorCancelled = 3,
  ErrorUnplugged = 4,
  ErrorNoDocument = 5,
  ErrorBadData = 6,
};
// A device error with a sentence the user can act on, naming the device.
fnd::Error makeError(ErrorCode code, const QString& deviceName, const QString& detail = {});

// What a long operation reports and how it is stopped: the caller may set
// `cancelled` from any thread; the operation checks it between blocks.
struct Progress {
  std::atomic<bool> cancelled = false;
  // Called on the working thread with a fraction in [0, 1].
  std::function<void(double)> report;
  void set(double fraction) const {
    if (report) report(fraction);
  }
};

class Device {
 public:
  virtual ~Device();
  virtual unsigned type() const = 0;
  // What the device list shows.
  virtual QString name() const = 0;
  // Stable while the device stays connected (the driver's device name or port).
  virtual QString identifier() const = 0;
};

using DevicePtr = std::shared_ptr<Device>;

}  // namespace capture
