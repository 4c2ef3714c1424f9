#include "capture/Device.h"

#include "foundation/Error.h"
#include "foundation/Localized.h"

namespace capture {

Device::~Device() = default;

fnd::Error makeError(ErrorCode code, const QString& deviceName, const QString& detail) {
  QString text;
  switch (code) {
    case ErrorBusy:
      text = fnd::localized(
          "The device “%1” is busy. Close any other program using it and try again.");
      break;
    case ErrorCancelled:
      text = fnd::localized("The transfer from “%1” was cancelled.");
      break;
    case ErrorUnplugged:
      text = fnd::localized("The device “%1” is no longer connected.");
      break;
    case ErrorNoDocument:
      text = fnd::localized("The scanner “%1” has no document to scan.");
      break;
    case ErrorBadData:
      text = fnd::localized("The device “%1” sent an image that cannot be read.");
      break;
    case ErrorFailed:
      text = fnd::localized("The device “%1” reported an error.");
      break;
  }
  QVariantMap info{{fnd::LocalizedDescriptionKey, text.arg(deviceName)}};
  if (!detail.isEmpty()) info.insert(fnd::LocalizedFailureReasonKey, detail);
  return fnd::Error(ErrorDomain, code, info);
}

}  // namespace capture
