// The list of scanners and cameras of the capture sheet. Looks for devices
// on a worker thread (the drivers may take seconds) with a busy bar and a
// Cancel button; the list stays usable meanwhile.
#pragma once

#include <QWidget>

#include "capture/Device.h"

class QLabel;
class QListWidget;
class QProgressBar;
class QPushButton;
class DeviceBrowserView;

class DeviceBrowserViewDelegate {
 public:
  virtual ~DeviceBrowserViewDelegate() = default;
  // `device` is null when nothing is selected.
  virtual void deviceBrowserView(DeviceBrowserView* browser, capture::DevicePtr device) = 0;
};

class DeviceBrowserView : public QWidget {
 public:
  explicit DeviceBrowserView(QWidget* parent = nullptr);
  ~DeviceBrowserView() override;

  void setDelegate(DeviceBrowserViewDelegate* delegate) { delegate_ = delegate; }
  DeviceBrowserViewDelegate* delegate() const { return delegate_; }
  // Folders shown as cameras besides the devices the drivers find.
  static void setCameraFolders(const QStringList& folders);
  static QStringList cameraFolders();

  // Starts looking for devices again; the list keeps its devices until the
  // new ones are known.
  void refresh();
  // Stops waiting for the drivers; what they find later is dropped.
  void cancelDiscovery();
  bool isDiscovering() const { return discovering_; }
  QList<capture::DevicePtr> devices() const { return devices_; }
  capture::DevicePtr selectedDevice() const;
  // Selects the device with this identifier; false when it is not listed.
  bool selectDevice(const QString& identifier);
  QListWidget* deviceList() const { return list_; }
  QString statusText() const;

 private:
  void showDevices(const QList<capture::DevicePtr>& devices, const QString& problem);
  void setDiscovering(bool discovering);

  DeviceBrowserViewDelegate* delegate_ = nullptr;
  QList<capture::DevicePtr> devices_;
  QListWidget* list_ = nullptr;
  QProgressBar* busy_ = nullptr;
  QLabel* status_ = nullptr;
  QPushButton* cancel_ = nullptr;
  QPushButton* refresh_ = nullptr;
  bool discovering_ = false;
  int generation_ = 0;
};
