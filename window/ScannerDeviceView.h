// The scanner page of the capture sheet: an overview scan shown as a
// preview, then the scan itself, both on a worker thread with a progress
// bar and a Cancel button. A finished scan goes to the delegate as PNG data.
#pragma once

#include <QImage>
#include <QUrl>
#include <QWidget>
#include <memory>

#include "capture/Scanner.h"
#include "foundation/Error.h"

class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QSpinBox;
class ScannerDeviceView;

class ScannerDeviceViewDelegate {
 public:
  virtual ~ScannerDeviceViewDelegate() = default;
  // A file's URL, or the image's data, or an error (the others empty).
  virtual void scannerDeviceView(ScannerDeviceView* view, const QUrl& url,
                                 const QByteArray& fileData, const fnd::Error& error) = 0;
};

class ScannerDeviceView : public QWidget {
 public:
  explicit ScannerDeviceView(QWidget* parent = nullptr);
  ~ScannerDeviceView() override;

  void setDelegate(ScannerDeviceViewDelegate* delegate) { delegate_ = delegate; }
  ScannerDeviceViewDelegate* delegate() const { return delegate_; }
  void setScannerDevice(std::shared_ptr<capture::Scanner> scanner);
  std::shared_ptr<capture::Scanner> scannerDevice() const { return scanner_; }
  // The program that would open each scan; the sheet keeps scans for itself.
  void setPostProcessApplication(const QString& application) { postProcess_ = application; }
  QString postProcessApplication() const { return postProcess_; }
  void setDownloadsDirectory(const QUrl& url) { downloads_ = url; }
  QUrl downloadsDirectory() const { return downloads_; }

  // Options passed to the driver besides the view's, and over them.
  void setScanOption(const QString& name, const QVariant& value) { extra_.insert(name, value); }
  capture::ScanSettings scanSettings(bool overview) const;
  void overview();
  void scan();
  void cancel();
  bool isScanning() const { return bool(progress_); }
  QImage previewImage() const { return preview_; }
  QString statusText() const;
  int progressValue() const;

 private:
  void start(bool overview);
  void finish(bool overview, const QImage& image, const fnd::Error& error);
  void updateControls();

  ScannerDeviceViewDelegate* delegate_ = nullptr;
  std::shared_ptr<capture::Scanner> scanner_;
  std::shared_ptr<capture::Progress> progress_;
  QString postProcess_;
  QUrl downloads_;
  QVariantMap extra_;
  QImage preview_;
  QLabel* previewLabel_ = nullptr;
  QLabel* status_ = nullptr;
  QSpinBox* resolution_ = nullptr;
  QComboBox* mode_ = nullptr;
  QProgressBar* bar_ = nullptr;
  QPushButton* overviewButton_ = nullptr;
  QPushButton* scanButton_ = nullptr;
  QPushButton* cancelButton_ = nullptr;
};
