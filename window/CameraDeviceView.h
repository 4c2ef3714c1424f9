// The camera page of the capture sheet: the camera's pictures with their
// thumbnails, listed and drawn on a worker thread, and the download of the
// chosen one into the downloads folder with a progress bar and Cancel.
#pragma once

#include <QUrl>
#include <QWidget>
#include <memory>

#include "capture/Camera.h"
#include "foundation/Error.h"

class QLabel;
class QListWidget;
class QProgressBar;
class QPushButton;
class CameraDeviceView;

class CameraDeviceViewDelegate {
 public:
  virtual ~CameraDeviceViewDelegate() = default;
  // The downloaded file's location, or the file's data, or an error.
  virtual void cameraDeviceView(CameraDeviceView* view, const capture::CameraFile& file,
                                const QUrl& location, const QByteArray& fileData,
                                const fnd::Error& error) = 0;
};

class CameraDeviceView : public QWidget {
 public:
  // How the pictures are shown.
  enum DisplayMode { DisplayModeTable = 0, DisplayModeIcon = 1 };
  static constexpr int kThumbnailSide = 96;

  explicit CameraDeviceView(QWidget* parent = nullptr);
  ~CameraDeviceView() override;

  void setDelegate(CameraDeviceViewDelegate* delegate) { delegate_ = delegate; }
  CameraDeviceViewDelegate* delegate() const { return delegate_; }
  void setCameraDevice(std::shared_ptr<capture::Camera> camera);
  std::shared_ptr<capture::Camera> cameraDevice() const { return camera_; }
  void setMode(int mode);
  int mode() const { return mode_; }
  void setPostProcessApplication(const QString& application) { postProcess_ = application; }
  QString postProcessApplication() const { return postProcess_; }
  void setDownloadsDirectory(const QUrl& url) { downloads_ = url; }
  QUrl downloadsDirectory() const { return downloads_; }

  QList<capture::CameraFile> files() const { return files_; }
  bool isListing() const { return listing_; }
  // How many thumbnails have arrived.
  int thumbnailCount() const { return thumbnails_; }
  QListWidget* fileList() const { return list_; }
  // Downloads the selected picture (the first one when none is selected).
  void downloadSelectedItems();
  void cancel();
  bool isDownloading() const { return bool(progress_); }
  QString statusText() const;

 private:
  void listFiles();
  void showFiles(const QList<capture::CameraFile>& files, const fnd::Error& error);
  void loadThumbnail(int index);
  void downloaded(const capture::CameraFile& file, const QString& path, const fnd::Error& error);
  void updateControls();

  CameraDeviceViewDelegate* delegate_ = nullptr;
  std::shared_ptr<capture::Camera> camera_;
  std::shared_ptr<capture::Progress> progress_;
  QList<capture::CameraFile> files_;
  int mode_ = DisplayModeTable;
  QString postProcess_;
  QUrl downloads_;
  bool listing_ = false;
  int thumbnails_ = 0;
  int generation_ = 0;
  QListWidget* list_ = nullptr;
  QProgressBar* bar_ = nullptr;
  QLabel* status_ = nullptr;
  QPushButton* download_ = nullptr;
  QPushButton* cancel_ = nullptr;
};
