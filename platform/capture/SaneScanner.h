// A scanner driven through SANE. The library is initialised once per process
// and used by one thread at a time; a scanner already scanning answers a
// second scan with a busy error instead of waiting.
#pragma once

#include <QList>
#include <atomic>

#include "capture/Scanner.h"

namespace capture {

class SaneScanner : public Scanner {
 public:
  SaneScanner(QString deviceName, QString displayName);
  // The scanners SANE finds (local and network). Blocks.
  static QList<DevicePtr> scanners(fnd::Error* error);

  QString name() const override { return displayName_; }
  QString identifier() const override { return deviceName_; }
  QImage scan(const ScanSettings& settings, Progress& progress, fnd::Error* error) override;

 private:
  QImage scanLocked(const ScanSettings& settings, Progress& progress, fnd::Error* error);

  QString deviceName_;
  QString displayName_;
  std::atomic<bool> scanning_ = false;
};

}  // namespace capture
