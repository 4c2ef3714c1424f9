#include "window/IMImageCaptureWindow.h"

#include <QHBoxLayout>
#include <QMenuBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "foundation/Localized.h"
#include "window/CameraDeviceView.h"
#include "window/DeviceBrowserView.h"
#include "window/ScannerDeviceView.h"

namespace {
const char kIdentifier[] = "identifier";
}

IMImageCaptureWindow::IMImageCaptureWindow(QWidget* parent) : ui::Window(parent) {
  setObjectName(QStringLiteral("IMImageCapture"));
  setWindowFlags(Qt::Sheet | Qt::Dialog);
  setWindowModality(Qt::WindowModal);
  setAttribute(Qt::WA_DeleteOnClose);
  setTitle(fnd::localized("Import from Scanner or Camera"));
  tabs_ = new QTabWidget;
  cameraView_ = new CameraDeviceView;
  scannerView_ = new ScannerDeviceView;
  cameraView_->setProperty(kIdentifier, QStringLiteral("Camera"));
  scannerView_->setProperty(kIdentifier, QStringLiteral("Scanner"));
  tabs_->addTab(cameraView_, fnd::localized("Camera"));
  tabs_->addTab(scannerView_, fnd::localized("Scanner"));
  browser_ = new DeviceBrowserView;
  browser_->setMinimumWidth(220);
  close_ = new QPushButton(fnd::localized("Close"));
  auto* row = new QHBoxLayout;
  row->addWidget(browser_);
  row->addWidget(tabs_, 1);
  auto* bottom = new QHBoxLayout;
  bottom->addStretch();
  bottom->addWidget(close_);
  auto* content = new QWidget;
  auto* layout = new QVBoxLayout(content);
  layout->addLayout(row, 1);
  layout->addLayout(bottom);
  setContentView(content);
  // A sheet has no menus of its own; the application's menu shortcuts still
  // reach its window through the hidden bar.
  menuBar()->hide();
  resize(720, 520);
}

// Drops from the top of the window it belongs to, as a sheet does.
void IMImageCaptureWindow::showEvent(QShowEvent* event) {
  if (QWidget* owner = parentWidget()) {
    const QRect frame = owner->window()->geometry();
    move(frame.center().x() - width() / 2, frame.top());
  }
  ui::Window::showEvent(event);
}

void IMImageCaptureWindow::selectTabViewItemWithIdentifier(const QString& identifier) {
  for (int i = 0; i < tabs_->count(); ++i)
    if (tabs_->widget(i)->property(kIdentifier).toString() == identifier) tabs_->setCurrentIndex(i);
}

QString IMImageCaptureWindow::selectedTabIdentifier() const {
  QWidget* current = tabs_->currentWidget();
  return current ? current->property(kIdentifier).toString() : QString();
}
