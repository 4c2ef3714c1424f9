// A camera driven through libgphoto2: a USB or network camera it detects,
// or a folder presented as a camera by its directory-browsing driver. The
// connection opens on first use and is used by one thread at a time.
#pragma once

#include <QMutex>
#include <QStringList>

#include "capture/Camera.h"

typedef struct _Camera GPCamera;
typedef struct _GPContext GPContext;

namespace capture {

class GPhotoCamera : public Camera {
 public:
  // `model` is the driver's model name ("Directory Browse" for a folder),
  // `port` its port path ("usb:001,004", "disk:/media/card").
  GPhotoCamera(QString model, QString port);
  ~GPhotoCamera() override;
  // The cameras libgphoto2 detects, then one camera per folder of `folders`.
  static QList<DevicePtr> cameras(const QStringList& folders, fnd::Error* error);
  static DevicePtr folderCamera(const QString& folder);

  QString name() const override;
  QString identifier() const override { return port_; }
  QList<CameraFile> files(fnd::Error* error) override;
  QImage thumbnail(const CameraFile& file, int side, fnd::Error* error) override;
  QString download(const CameraFile& file, const QString& folder, Progress& progress,
                   fnd::Error* error) override;

 private:
  bool openLocked(fnd::Error* error);
  void closeLocked();
  // False with `error` set for a driver's failure code.
  bool check(int result, fnd::Error* error);
  bool listFolder(const QString& folder, QList<CameraFile>& files, int depth, fnd::Error* error);
  QByteArray fileBytes(const CameraFile& file, int type, fnd::Error* error);
  bool isGone() const;

  QString model_;
  QString port_;
  QMutex lock_;
  GPCamera* camera_ = nullptr;
  GPContext* context_ = nullptr;
  Progress* progress_ = nullptr;  // the running transfer's, while one runs
};

}  // namespace capture
