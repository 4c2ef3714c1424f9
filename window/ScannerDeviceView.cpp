#include "window/ScannerDeviceView.h"

#include <QBuffer>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "capture/BackgroundWork.h"
#include "window/CaptureProgressBar.h"
#include "foundation/Localized.h"

namespace {

constexpr int kOverviewResolution = 25;
constexpr QSize kPreviewSize(320, 360);

struct ScanResult {
  QImage image;
  fnd::Error error;
};

// PNG without compression: the scan is decoded again at once, so size does
// not matter and speed does.
QByteArray pngData(const QImage& image) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "PNG", 100);
  return bytes;
}

}  // namespace

ScannerDeviceView::ScannerDeviceView(QWidget* parent) : QWidget(parent) {
  previewLabel_ = new QLabel(this);
  previewLabel_->setFixedSize(kPreviewSize);
  previewLabel_->setAlignment(Qt::AlignCenter);
  previewLabel_->setFrameShape(QFrame::StyledPanel);
  resolution_ = new QSpinBox(this);
  resolution_->setRange(25, 1200);
  resolution_->setValue(150);
  resolution_->setSuffix(fnd::localized(" dpi"));
  mode_ = new QComboBox(this);
  mode_->addItem(fnd::localized("Color"), QStringLiteral("Color"));
  mode_->addItem(fnd::localized("Gray"), QStringLiteral("Gray"));
  bar_ = new QProgressBar(this);
  bar_->setRange(0, 100);
  status_ = new QLabel(this);
  status_->setWordWrap(true);
  overviewButton_ = new QPushButton(fnd::localized("Overview"), this);
  scanButton_ = new QPushButton(fnd::localized("Scan"), this);
  cancelButton_ = new QPushButton(fnd::localized("Cancel"), this);
  auto* form = new QFormLayout;
  form->addRow(fnd::localized("Resolution:"), resolution_);
  form->addRow(fnd::localized("Mode:"), mode_);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(overviewButton_);
  buttons->addStretch();
  buttons->addWidget(cancelButton_);
  buttons->addWidget(scanButton_);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(previewLabel_, 0, Qt::AlignHCenter);
  layout->addLayout(form);
  layout->addWidget(bar_);
  layout->addWidget(status_);
  layout->addLayout(buttons);
  connect(overviewButton_, &QPushButton::clicked, this, [this] { overview(); });
  connect(scanButton_, &QPushButton::clicked, this, [this] { scan(); });
  connect(cancelButton_, &QPushButton::clicked, this, [this] { cancel(); });
  updateControls();
}

// A scan still running when the sheet goes is stopped.
ScannerDeviceView::~ScannerDeviceView() { cancel(); }

void ScannerDeviceView::setScannerDevice(std::shared_ptr<capture::Scanner> scanner) {
  if (scanner == scanner_) return;
  cancel();
  scanner_ = std::move(scanner);
  preview_ = QImage();
  previewLabel_->clear();
  status_->setText(scanner_ ? scanner_->name() : QString());
  updateControls();
}

capture::ScanSettings ScannerDeviceView::scanSettings(bool overview) const {
  capture::ScanSettings settings;
  settings.options.insert("resolution", overview ? kOverviewResolution : resolution_->value());
  settings.options.insert("mode", mode_->currentData());
  if (overview) settings.options.insert("preview", true);
  settings.options.insert(extra_);
  return settings;
}

void ScannerDeviceView::overview() { start(true); }
void ScannerDeviceView::scan() { start(false); }

void ScannerDeviceView::start(bool overview) {
  if (!scanner_ || progress_) return;
  auto progress = captureProgressShownIn(bar_);
  progress_ = progress;
  status_->setText(overview ? fnd::localized("Making an overview…") : fnd::localized("Scanning…"));
  updateControls();
  std::shared_ptr<capture::Scanner> scanner = scanner_;
  const capture::ScanSettings settings = scanSettings(overview);
  capture::runInBackground<ScanResult>(
      this,
      [scanner, settings, progress] {
        ScanResult result;
        result.image = scanner->scan(settings, *progress, &result.error);
        return result;
      },
      [this, overview, progress](ScanResult result) {
        if (progress != progress_) return;
        progress_.reset();
        finish(overview, result.image, result.error);
      });
}

void ScannerDeviceView::cancel() {
  if (!progress_) return;
  progress_->cancelled = true;
  status_->setText(fnd::localized("Cancelling…"));
}

void ScannerDeviceView::finish(bool overview, const QImage& image, const fnd::Error& error) {
  updateControls();
  if (!error.isNull()) {
    status_->setText(error.localizedDescription());
    // An overview that failed is the user's to retry; a scan's failure is
    // the delegate's to report.
    if (!overview && delegate_) delegate_->scannerDeviceView(this, QUrl(), QByteArray(), error);
    return;
  }
  preview_ = image;
  previewLabel_->setPixmap(QPixmap::fromImage(
      image.scaled(kPreviewSize, Qt::KeepAspectRatio, Qt::SmoothTransformation)));
  status_->setText(fnd::localized("%1 × %2 pixels").arg(image.width()).arg(image.height()));
  if (!overview && delegate_) delegate_->scannerDeviceView(this, QUrl(), pngData(image), {});
}

void ScannerDeviceView::updateControls() {
  const bool idle = !progress_;
  overviewButton_->setEnabled(scanner_ && idle);
  scanButton_->setEnabled(scanner_ && idle);
  resolution_->setEnabled(idle);
  mode_->setEnabled(idle);
  cancelButton_->setEnabled(!idle);
  bar_->setVisible(!idle);
}

QString ScannerDeviceView::statusText() const { return status_->text(); }
int ScannerDeviceView::progressValue() const { return bar_->value(); }
