#pragma once

#include <QImage>
#include <QList>
#include <QString>

#include "capture/Device.h"

namespace capture {

// A file on a camera: its folder on the device and its name there.
struct CameraFile {
  QString folder;
  QString name;
  qint64 size = -1;
  QString path() const { return folder.endsWith('/') ? folder + name : folder + '/' + name; }
  bool operator==(const CameraFile&) const = default;
};

class Camera : public Device {
 public:
  unsigned type() const override { return DeviceTypeCamera; }
  // The image files on the device, in its folders' order.
  virtual QList<CameraFile> files(fnd::Error* error) = 0;
  // A small picture of the file, its longer side at most `side` pixels; the
  // null image when the device has none and the file cannot be read.
  virtual QImage thumbnail(const CameraFile& file, int side, fnd::Error* error) = 0;
  // Copies the file into `folder` under a name no other file has; returns
  // the new file's path, or an empty string with `error` filled (and no
  // file left behind).
  virtual QString download(const CameraFile& file, const QString& folder, Progress& progress,
                           fnd::Error* error) = 0;
};

}  // namespace capture
