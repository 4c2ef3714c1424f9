#pragma once

#include <QImage>
#include <QVariantMap>

#include "capture/Device.h"

namespace capture {

// How to scan: the device's own option names and values ("resolution",
// "mode", or any other the driver offers). Unknown names are skipped, so a
// setting meant for one driver does no harm on another.
struct ScanSettings {
  QVariantMap options;
};

class Scanner : public Device {
 public:
  unsigned type() const override { return DeviceTypeScanner; }
  // One page; the null image with `error` filled on failure or cancel.
  virtual QImage scan(const ScanSettings& settings, Progress& progress, fnd::Error* error) = 0;
};

}  // namespace capture
