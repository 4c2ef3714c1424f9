#include "window/DeviceBrowserView.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "capture/BackgroundWork.h"
#include "capture/DeviceDiscovery.h"
#include "foundation/Error.h"
#include "foundation/Localized.h"

namespace {

QStringList& folders() {
  static QStringList list;
  return list;
}

struct Discovered {
  QList<capture::DevicePtr> devices;
  QString problem;
};

QIcon iconFor(const capture::Device& device) {
  return QIcon::fromTheme(device.type() & capture::DeviceTypeCamera ? "camera-photo" : "scanner");
}

}  // namespace

DeviceBrowserView::DeviceBrowserView(QWidget* parent) : QWidget(parent) {
  list_ = new QListWidget(this);
  list_->setIconSize({32, 32});
  busy_ = new QProgressBar(this);
  busy_->setRange(0, 0);
  busy_->setMaximumHeight(12);
  busy_->setTextVisible(false);
  status_ = new QLabel(this);
  status_->setWordWrap(true);
  cancel_ = new QPushButton(fnd::localized("Cancel"), this);
  refresh_ = new QPushButton(fnd::localized("Refresh"), this);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(refresh_);
  buttons->addWidget(cancel_);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(new QLabel(fnd::localized("Devices"), this));
  layout->addWidget(list_, 1);
  layout->addWidget(busy_);
  layout->addWidget(status_);
  layout->addLayout(buttons);
  connect(refresh_, &QPushButton::clicked, this, [this] { refresh(); });
  connect(cancel_, &QPushButton::clicked, this, [this] { cancelDiscovery(); });
  connect(list_, &QListWidget::currentRowChanged, this, [this](int) {
    if (delegate_) delegate_->deviceBrowserView(this, selectedDevice());
  });
  setDiscovering(false);
  refresh();
}

DeviceBrowserView::~DeviceBrowserView() = default;

void DeviceBrowserView::setCameraFolders(const QStringList& list) { folders() = list; }
QStringList DeviceBrowserView::cameraFolders() { return folders(); }

void DeviceBrowserView::refresh() {
  const int generation = ++generation_;
  setDiscovering(true);
  const QStringList cameraFolders = folders();
  capture::runInBackground<Discovered>(
      this,
      [cameraFolders] {
        fnd::Error error;
        Discovered found{capture::discoverDevices(cameraFolders, &error), QString()};
        if (!error.isNull()) found.problem = error.localizedDescription();
        return found;
      },
      [this, generation](Discovered found) {
        if (generation != generation_) return;
        setDiscovering(false);
        showDevices(found.devices, found.problem);
      });
}

void DeviceBrowserView::cancelDiscovery() {
  if (!discovering_) return;
  ++generation_;
  setDiscovering(false);
  status_->setText(fnd::localized("Stopped looking for devices."));
}

void DeviceBrowserView::setDiscovering(bool discovering) {
  discovering_ = discovering;
  busy_->setVisible(discovering);
  cancel_->setEnabled(discovering);
  refresh_->setEnabled(!discovering);
  if (discovering) status_->setText(fnd::localized("Looking for devices…"));
}

void DeviceBrowserView::showDevices(const QList<capture::DevicePtr>& devices,
                                    const QString& problem) {
  const capture::DevicePtr previous = selectedDevice();
  devices_ = devices;
  QSignalBlocker blocker(list_);
  list_->clear();
  int keep = -1;
  for (const capture::DevicePtr& device : devices_) {
    list_->addItem(new QListWidgetItem(iconFor(*device), device->name()));
    if (previous && device->identifier() == previous->identifier()) keep = list_->count() - 1;
  }
  if (keep >= 0) list_->setCurrentRow(keep);
  blocker.unblock();
  if (!problem.isEmpty())
    status_->setText(problem);
  else
    status_->setText(devices_.isEmpty() ? fnd::localized("No scanner or camera found.")
                                        : QString());
  if (keep < 0 && previous && delegate_) delegate_->deviceBrowserView(this, nullptr);
}

capture::DevicePtr DeviceBrowserView::selectedDevice() const {
  const int row = list_->currentRow();
  return row >= 0 && row < devices_.size() ? devices_[row] : nullptr;
}

bool DeviceBrowserView::selectDevice(const QString& identifier) {
  for (int i = 0; i < devices_.size(); ++i)
    if (devices_[i]->identifier() == identifier) {
      list_->setCurrentRow(i);
      return true;
    }
  return false;
}

QString DeviceBrowserView::statusText() const { return status_->text(); }
