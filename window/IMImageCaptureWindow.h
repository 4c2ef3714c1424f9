// The capture sheet's window: the device list beside two tabs, "Camera" and
// "Scanner", each holding its device view, and a Close button. Shown as a
// sheet on a document window; it deletes itself when closed.
#pragma once

#include <QTabWidget>

#include "appkit/Window.h"

class CameraDeviceView;
class DeviceBrowserView;
class QPushButton;
class ScannerDeviceView;

class IMImageCaptureWindow : public ui::Window {
 public:
  explicit IMImageCaptureWindow(QWidget* parent);

  QTabWidget* imageCaptureTabView() const { return tabs_; }
  CameraDeviceView* cameraView() const { return cameraView_; }
  ScannerDeviceView* scannerView() const { return scannerView_; }
  DeviceBrowserView* deviceBrowserView() const { return browser_; }
  QPushButton* closeButton() const { return close_; }

  // The tab whose identifier is "Camera" or "Scanner".
  void selectTabViewItemWithIdentifier(const QString& identifier);
  QString selectedTabIdentifier() const;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  QTabWidget* tabs_ = nullptr;
  CameraDeviceView* cameraView_ = nullptr;
  ScannerDeviceView* scannerView_ = nullptr;
  DeviceBrowserView* browser_ = nullptr;
  QPushButton* close_ = nullptr;
};
