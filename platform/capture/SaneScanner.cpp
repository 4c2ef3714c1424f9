#include "capture/SaneScanner.h"

#include <poll.h>
#include <sane/sane.h>
#include <sane/saneopts.h>

#include <QMutex>
#include <cerrno>
#include <cstring>
#include <vector>

#include "capture/SaneFrameAssembler.h"
#include "foundation/Error.h"

namespace capture {
namespace {

// SANE's entry points are not thread-safe; every use holds this lock.
QMutex& saneLock() {
  static QMutex lock;
  return lock;
}

void ensureInitialised() {
  static bool initialised = [] {
    SANE_Int version = 0;
    return sane_init(&version, nullptr) == SANE_STATUS_GOOD;
  }();
  (void)initialised;
}

fnd::Error errorForStatus(SANE_Status status, const QString& device) {
  const QString detail = QString::fromUtf8(sane_strstatus(status));
  switch (status) {
    case SANE_STATUS_DEVICE_BUSY:
      return makeError(ErrorBusy, device, detail);
    case SANE_STATUS_CANCELLED:
      return makeError(ErrorCancelled, device, detail);
    case SANE_STATUS_NO_DOCS:
      return makeError(ErrorNoDocument, device, detail);
    default:
      return makeError(ErrorFailed, device, detail);
  }
}

// Sets the option called `name` when the device has it and lets software
// set it; false only when the device refuses the value.
bool setOption(SANE_Handle handle, const QString& name, const QVariant& value) {
  const QByteArray wanted = name.toUtf8();
  for (SANE_Int i = 1;; ++i) {
    const SANE_Option_Descriptor* option = sane_get_option_descriptor(handle, i);
    if (!option) return true;
    if (!option->name || wanted != option->name) continue;
    if (!SANE_OPTION_IS_SETTABLE(option->cap) || !SANE_OPTION_IS_ACTIVE(option->cap)) return true;
    SANE_Word word = 0;
    std::vector<char> text;
    void* data = &word;
    switch (option->type) {
      case SANE_TYPE_BOOL:
        word = value.toBool() ? SANE_TRUE : SANE_FALSE;
        break;
      case SANE_TYPE_INT:
        word = SANE_Int(value.toDouble());
        break;
      case SANE_TYPE_FIXED:
        word = SANE_FIX(value.toDouble());
        break;
      case SANE_TYPE_STRING: {
        const QByteArray bytes = value.toString().toUtf8();
        if (option->size <= 0 || bytes.size() >= option->size) return false;
        text.assign(size_t(option->size), '\0');
        std::memcpy(text.data(), bytes.constData(), size_t(bytes.size()));
        data = text.data();
        break;
      }
      default:
        return true;
    }
    return sane_control_option(handle, i, SANE_ACTION_SET_VALUE, data, nullptr) == SANE_STATUS_GOOD;
  }
}

// Waits on the driver's select descriptor, when it offers one, until a
// frame's first data is there. A cancel meanwhile is seen within a tenth of
// a second instead of after a blocking read, and the frame is never
// cancelled before the driver's reader has begun: drivers that read on a
// thread of their own may stall when cancelled at that instant. False when
// cancelled first.
bool waitForFirstData(SANE_Handle handle, const Progress& progress) {
  SANE_Int fd = -1;
  if (sane_get_select_fd(handle, &fd) != SANE_STATUS_GOOD || fd < 0) return true;
  pollfd wanted{fd, POLLIN, 0};
  for (;;) {
    const int ready = ::poll(&wanted, 1, 100);
    if (ready > 0 || (ready < 0 && errno != EINTR)) return true;
    if (progress.cancelled) return false;
  }
}

}  // namespace

SaneScanner::SaneScanner(QString deviceName, QString displayName)
    : deviceName_(std::move(deviceName)), displayName_(std::move(displayName)) {}

QList<DevicePtr> SaneScanner::scanners(fnd::Error* error) {
  QMutexLocker locker(&saneLock());
  ensureInitialised();
  const SANE_Device** list = nullptr;
  const SANE_Status status = sane_get_devices(&list, SANE_FALSE);
  QList<DevicePtr> found;
  if (status != SANE_STATUS_GOOD) {
    if (error) *error = errorForStatus(status, QStringLiteral("SANE"));
    return found;
  }
  for (int i = 0; list && list[i]; ++i) {
    const QString vendor = QString::fromUtf8(list[i]->vendor);
    const QString model = QString::fromUtf8(list[i]->model);
    const QString name = QString::fromUtf8(list[i]->name);
    found.append(std::make_shared<SaneScanner>(name, (vendor + ' ' + model + " (" + name + ')')));
  }
  return found;
}

QImage SaneScanner::scan(const ScanSettings& settings, Progress& progress, fnd::Error* error) {
  if (scanning_.exchange(true)) {
    if (error) *error = makeError(ErrorBusy, displayName_);
    return {};
  }
  QMutexLocker locker(&saneLock());
  ensureInitialised();
  QImage image = scanLocked(settings, progress, error);
  scanning_ = false;
  return image;
}

QImage SaneScanner::scanLocked(const ScanSettings& settings, Progress& progress,
                               fnd::Error* error) {
  SANE_Handle handle = nullptr;
  SANE_Status status = sane_open(deviceName_.toUtf8().constData(), &handle);
  if (status != SANE_STATUS_GOOD) {
    // A device name SANE no longer knows is a scanner that went away.
    if (error)
      *error = status == SANE_STATUS_INVAL ? makeError(ErrorUnplugged, displayName_)
                                           : errorForStatus(status, displayName_);
    return {};
  }
  auto fail = [&](const fnd::Error& e) {
    sane_cancel(handle);
    sane_close(handle);
    if (error) *error = e;
    return QImage();
  };
  for (auto it = settings.options.begin(); it != settings.options.end(); ++it)
    if (!setOption(handle, it.key(), it.value()))
      return fail(makeError(ErrorFailed, displayName_,
                            QStringLiteral("The setting “%1” was refused.").arg(it.key())));
  SaneFrameAssembler assembler;
  std::vector<SANE_Byte> buffer(256 * 1024);
  for (bool last = false; !last;) {
    // A cancel that came before the frame started never starts it: some
    // drivers stall when cancelled at the instant a frame begins.
    if (progress.cancelled) return fail(makeError(ErrorCancelled, displayName_));
    if ((status = sane_start(handle)) != SANE_STATUS_GOOD)
      return fail(errorForStatus(status, displayName_));
    SANE_Parameters p;
    if ((status = sane_get_parameters(handle, &p)) != SANE_STATUS_GOOD)
      return fail(errorForStatus(status, displayName_));
    const qint64 expected = p.lines > 0 ? qint64(p.lines) * p.bytes_per_line : 0;
    if (!waitForFirstData(handle, progress)) return fail(makeError(ErrorCancelled, displayName_));
    QByteArray bytes;
    for (;;) {
      if (progress.cancelled) return fail(makeError(ErrorCancelled, displayName_));
      SANE_Int length = 0;
      status = sane_read(handle, buffer.data(), SANE_Int(buffer.size()), &length);
      if (status == SANE_STATUS_EOF) break;
      if (status != SANE_STATUS_GOOD) return fail(errorForStatus(status, displayName_));
      bytes.append(reinterpret_cast<const char*>(buffer.data()), length);
      if (bytes.size() > SaneFrameAssembler::kMaxPixels * 6)
        return fail(makeError(ErrorBadData, displayName_, QStringLiteral("image too large")));
      if (expected > 0) progress.set(std::min(1.0, double(bytes.size()) / double(expected)));
    }
    const SaneFrameParameters frame{
        int(p.format), bool(p.last_frame), p.bytes_per_line, p.pixels_per_line, p.lines, p.depth};
    QString problem;
    if (!assembler.addFrame(frame, bytes, &problem))
      return fail(makeError(ErrorBadData, displayName_, problem));
    last = p.last_frame;
  }
  sane_cancel(handle);
  sane_close(handle);
  progress.set(1);
  return assembler.image();
}

}  // namespace capture
