#include "window/CameraDeviceView.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "capture/BackgroundWork.h"
#include "foundation/Localized.h"
#include "window/CaptureProgressBar.h"

namespace {

struct Listing {
  QList<capture::CameraFile> files;
  fnd::Error error;
};
struct Thumbnail {
  QImage image;
};
struct Download {
  QString path;
  fnd::Error error;
};

}  // namespace

CameraDeviceView::CameraDeviceView(QWidget* parent) : QWidget(parent) {
  list_ = new QListWidget(this);
  list_->setIconSize({kThumbnailSide, kThumbnailSide});
  list_->setResizeMode(QListView::Adjust);
  list_->setMinimumSize(360, 300);
  bar_ = new QProgressBar(this);
  bar_->setRange(0, 100);
  status_ = new QLabel(this);
  status_->setWordWrap(true);
  download_ = new QPushButton(fnd::localized("Download"), this);
  cancel_ = new QPushButton(fnd::localized("Cancel"), this);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(cancel_);
  buttons->addWidget(download_);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(list_, 1);
  layout->addWidget(bar_);
  layout->addWidget(status_);
  layout->addLayout(buttons);
  connect(download_, &QPushButton::clicked, this, [this] { downloadSelectedItems(); });
  connect(cancel_, &QPushButton::clicked, this, [this] { cancel(); });
  connect(list_, &QListWidget::itemDoubleClicked, this, [this] { downloadSelectedItems(); });
  setMode(DisplayModeTable);
  updateControls();
}

CameraDeviceView::~CameraDeviceView() { cancel(); }

void CameraDeviceView::setMode(int mode) {
  mode_ = mode == DisplayModeIcon ? DisplayModeIcon : DisplayModeTable;
  list_->setViewMode(mode_ == DisplayModeIcon ? QListView::IconMode : QListView::ListMode);
  list_->setGridSize(mode_ == DisplayModeIcon ? QSize(kThumbnailSide + 24, kThumbnailSide + 32)
                                              : QSize());
  list_->setWordWrap(true);
}

void CameraDeviceView::setCameraDevice(std::shared_ptr<capture::Camera> camera) {
  if (camera == camera_) return;
  cancel();
  ++generation_;
  camera_ = std::move(camera);
  files_.clear();
  list_->clear();
  thumbnails_ = 0;
  status_->clear();
  if (camera_) listFiles();
  updateControls();
}

void CameraDeviceView::listFiles() {
  listing_ = true;
  status_->setText(fnd::localized("Reading the pictures of “%1”…").arg(camera_->name()));
  const int generation = generation_;
  std::shared_ptr<capture::Camera> camera = camera_;
  capture::runInBackground<Listing>(
      this,
      [camera] {
        Listing listing;
        listing.files = camera->files(&listing.error);
        return listing;
      },
      [this, generation](Listing listing) {
        if (generation != generation_) return;
        showFiles(listing.files, listing.error);
      });
}

void CameraDeviceView::showFiles(const QList<capture::CameraFile>& files, const fnd::Error& error) {
  listing_ = false;
  files_ = files;
  for (const capture::CameraFile& file : files_) {
    auto* item = new QListWidgetItem(QIcon::fromTheme("image-x-generic"), file.name);
    item->setToolTip(file.path());
    list_->addItem(item);
  }
  if (!error.isNull())
    status_->setText(error.localizedDescription());
  else
    status_->setText(files_.isEmpty()     ? fnd::localized("No pictures on this camera.")
                     : files_.size() == 1 ? fnd::localized("1 picture")
                                          : fnd::localized("%1 pictures").arg(files_.size()));
  if (!files_.isEmpty() && list_->currentRow() < 0) list_->setCurrentRow(0);
  updateControls();
  if (!files_.isEmpty()) loadThumbnail(0);
}

// One at a time, in list order: a camera answers one request at a time anyway.
void CameraDeviceView::loadThumbnail(int index) {
  if (index >= files_.size()) return;
  const int generation = generation_;
  std::shared_ptr<capture::Camera> camera = camera_;
  const capture::CameraFile file = files_[index];
  capture::runInBackground<Thumbnail>(
      this, [camera, file] { return Thumbnail{camera->thumbnail(file, kThumbnailSide, nullptr)}; },
      [this, generation, index](Thumbnail thumbnail) {
        if (generation != generation_) return;
        if (!thumbnail.image.isNull())
          list_->item(index)->setIcon(QIcon(QPixmap::fromImage(thumbnail.image)));
        ++thumbnails_;
        loadThumbnail(index + 1);
      });
}

void CameraDeviceView::downloadSelectedItems() {
  if (!camera_ || progress_ || files_.isEmpty()) return;
  const int row = std::max(0, list_->currentRow());
  const capture::CameraFile file = files_.value(row);
  auto progress = captureProgressShownIn(bar_);
  progress_ = progress;
  status_->setText(fnd::localized("Downloading “%1”…").arg(file.name));
  updateControls();
  std::shared_ptr<capture::Camera> camera = camera_;
  const QString folder = downloads_.toLocalFile();
  capture::runInBackground<Download>(
      this,
      [camera, file, folder, progress] {
        Download result;
        result.path = camera->download(file, folder, *progress, &result.error);
        return result;
      },
      [this, file, progress](Download result) {
        if (progress != progress_) return;
        progress_.reset();
        downloaded(file, result.path, result.error);
      });
}

void CameraDeviceView::downloaded(const capture::CameraFile& file, const QString& path,
                                  const fnd::Error& error) {
  updateControls();
  status_->setText(error.isNull() ? QString() : error.localizedDescription());
  if (delegate_)
    delegate_->cameraDeviceView(this, file, path.isEmpty() ? QUrl() : QUrl::fromLocalFile(path),
                                QByteArray(), error);
}

void CameraDeviceView::cancel() {
  if (progress_) progress_->cancelled = true;
}

void CameraDeviceView::updateControls() {
  const bool idle = !progress_;
  download_->setEnabled(idle && !files_.isEmpty());
  cancel_->setEnabled(!idle);
  bar_->setVisible(!idle);
}

QString CameraDeviceView::statusText() const { return status_->text(); }
