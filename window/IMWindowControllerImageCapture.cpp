// The capture sheet: pictures from scanners and cameras become new layers.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPushButton>
#include <QTemporaryDir>

#include "appkit/ModalServices.h"
#include "foundation/Error.h"
#include "foundation/IndexSet.h"
#include "graphics/Image.h"
#include "window/IMImageCaptureWindow.h"
#include "window/IMLayersArrayController.h"
#include "window/IMWindowController.h"

void IMWindowController::addImageCaptureActions() {
  addAction("showImageCaptureUI:", [this](QObject* sender) { showImageCaptureUI(sender); });
  addAction("hideImageCaptureUI:", [this](QObject* sender) { hideImageCaptureUI(sender); });
  addAction("resizeDocumentPanel:", [this](QObject* sender) { resizeDocumentPanel(sender); });
  addAction("resizeDocument:", [this](QObject* sender) { resizeDocument(sender); });
  addAction("cancelResizeDocument:", [this](QObject* sender) { cancelResizeDocument(sender); });
}

void IMWindowController::showImageCaptureUI(QObject*) {
  if (!imageCaptureWindow_) {
    imageCaptureWindow_ = new IMImageCaptureWindow(window());
    imageCaptureWindow_->setDelegate(this);
    imageCaptureWindow_->deviceBrowserView()->setDelegate(this);
    imageCaptureWindow_->cameraView()->setDelegate(this);
    imageCaptureWindow_->scannerView()->setDelegate(this);
    imageCaptureWindow_->cameraView()->setMode(CameraDeviceView::DisplayModeIcon);
    connect(imageCaptureWindow_->closeButton(), &QPushButton::clicked, this,
            [this] { hideImageCaptureUI(nullptr); });
  }
  imageCaptureWindow_->show();
  imageCaptureWindow_->cameraView()->setPostProcessApplication(QString());
  imageCaptureWindow_->scannerView()->setPostProcessApplication(QString());
  DeviceBrowserView* browser = imageCaptureWindow_->deviceBrowserView();
  deviceBrowserView(browser, browser->selectedDevice());
  // Never the user's own folders: the picture's file is deleted once it is
  // a layer, and a name clash there would delete the user's file.
  const QUrl downloads = QUrl::fromLocalFile(imageCaptureDownloadsFolder());
  imageCaptureWindow_->cameraView()->setDownloadsDirectory(downloads);
  imageCaptureWindow_->scannerView()->setDownloadsDirectory(downloads);
}

QString IMWindowController::imageCaptureDownloadsFolder() {
  if (!captureDownloads_)
    captureDownloads_ =
        std::make_unique<QTemporaryDir>(QDir::tempPath() + "/tessaly-capture-XXXXXX");
  return captureDownloads_->isValid() ? captureDownloads_->path() : QString();
}

void IMWindowController::hideImageCaptureUI(QObject*) {
  if (!imageCaptureWindow_) return;
  imageCaptureWindow_->hide();
  sheetDidEnd(0);
}

void IMWindowController::sheetDidEnd(int) {
  if (imageCaptureWindow_) imageCaptureWindow_->close();
  willCloseImageCaptureWindow();
}

void IMWindowController::willCloseImageCaptureWindow() {
  if (!imageCaptureWindow_) return;
  imageCaptureWindow_->cameraView()->setDelegate(nullptr);
  imageCaptureWindow_->scannerView()->setDelegate(nullptr);
  imageCaptureWindow_->deviceBrowserView()->setDelegate(nullptr);
  imageCaptureWindow_->setDelegate(nullptr);
  imageCaptureWindow_ = nullptr;
}

void IMWindowController::deviceBrowserView(DeviceBrowserView*, capture::DevicePtr device) {
  if (!imageCaptureWindow_ || !device) return;
  if (device->type() & capture::DeviceTypeCamera) {
    imageCaptureWindow_->selectTabViewItemWithIdentifier(QStringLiteral("Camera"));
    imageCaptureWindow_->cameraView()->setCameraDevice(
        std::dynamic_pointer_cast<capture::Camera>(device));
    imageCaptureWindow_->scannerView()->setScannerDevice(nullptr);
  } else if (device->type() & capture::DeviceTypeScanner) {
    imageCaptureWindow_->selectTabViewItemWithIdentifier(QStringLiteral("Scanner"));
    imageCaptureWindow_->scannerView()->setScannerDevice(
        std::dynamic_pointer_cast<capture::Scanner>(device));
    imageCaptureWindow_->cameraView()->setCameraDevice(nullptr);
  }
}

void IMWindowController::cameraDeviceView(CameraDeviceView*, const capture::CameraFile&,
                                          const QUrl& location, const QByteArray& fileData,
                                          const fnd::Error& error) {
  didReceiveImageAtLocation(location, fileData, error);
  hideImageCaptureUI(nullptr);
}

void IMWindowController::scannerDeviceView(ScannerDeviceView*, const QUrl& url,
                                           const QByteArray& fileData, const fnd::Error& error) {
  didReceiveImageAtLocation(url, fileData, error);
  hideImageCaptureUI(nullptr);
}

void IMWindowController::didReceiveImageAtLocation(const QUrl& url, const QByteArray& fileData,
                                                   const fnd::Error& error) {
  if (!error.isNull()) {
    ui::ModalServices::shared().runAlert(ui::AlertRequest::fromError(error), window());
    return;
  }
  const bool fromFile = url.isLocalFile();
  if (!fromFile && fileData.isEmpty()) return;
  fnd::Error readError;
  gfx::ImagePtr image = fromFile
                            ? gfx::Image::imageWithContentsOfFile(url.toLocalFile(), &readError)
                            : gfx::Image::imageWithData(fileData, &readError);
  if (!image) {
    ui::ModalServices::shared().runAlert(ui::AlertRequest::fromError(readError), window());
    return;
  }
  // Where a new layer goes from the window's commands: above the first
  // selected layer (on top when none is).
  const int first = layersController_->selectionIndexes().firstIndex();
  layersController_->addLayerAndImage(image, QString(),
                                      first < 0 ? IMLayerIndexNotFound : unsigned(first), true);
  // Only a file this program downloaded is removed; anything else the URL
  // names belongs to the user.
  const QString path = QFileInfo(url.toLocalFile()).absoluteFilePath();
  if (fromFile && captureDownloads_ && captureDownloads_->isValid() &&
      QFileInfo(path).absolutePath() == QDir(captureDownloads_->path()).absolutePath())
    QFile::remove(path);
}
