#include "appkit/PictureTaker.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QImageReader>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "appkit/ModalServices.h"
#include "appkit/PictureTakerCropView.h"
#include "foundation/Localized.h"
#include "foundation/UserDefaults.h"

namespace ui {

namespace {

const QString kRecentKey = QStringLiteral("IMPictureTakerRecentPictures");
fnd::UserDefaults* defaultsOverride = nullptr;
constexpr int kSliderSteps = 100;
constexpr double kMaxCropZoom = 10;

}  // namespace

PictureTaker::PictureTaker(QWidget* parent) : QDialog(parent) {
  setWindowTitle(fnd::localized("Choose a Picture"));
  build();
}

PictureTaker::~PictureTaker() = default;

void PictureTaker::setUserDefaults(fnd::UserDefaults* defaults) { defaultsOverride = defaults; }

fnd::UserDefaults& PictureTaker::defaults() const {
  return defaultsOverride ? *defaultsOverride : fnd::UserDefaults::standardUserDefaults();
}

void PictureTaker::build() {
  auto* column = new QVBoxLayout(this);
  auto* row = new QHBoxLayout;
  column->addLayout(row, 1);
  auto* side = new QVBoxLayout;
  side->addWidget(new QLabel(fnd::localized("Recent Pictures")));
  recents_ = new QListWidget;
  recents_->setIconSize(QSize(48, 48));
  recents_->setFixedWidth(180);
  side->addWidget(recents_, 1);
  auto* choose = new QPushButton(fnd::localized("Choose…"));
  side->addWidget(choose);
  row->addLayout(side);
  auto* centre = new QVBoxLayout;
  cropView_ = new PictureTakerCropView;
  centre->addWidget(cropView_, 1);
  zoomSlider_ = new QSlider(Qt::Horizontal);
  zoomSlider_->setRange(0, kSliderSteps);
  centre->addWidget(zoomSlider_);
  auto* effectsRow = new QHBoxLayout;
  effectsLabel_ = new QLabel(fnd::localized("Effect:"));
  effects_ = new QComboBox;
  for (const char* name : {"None", "Black & White", "Sepia", "Invert", "Posterize"})
    effects_->addItem(fnd::localized(name));
  effectsRow->addWidget(effectsLabel_);
  effectsRow->addWidget(effects_, 1);
  centre->addLayout(effectsRow);
  row->addLayout(centre, 1);
  error_ = new QLabel;
  error_->setStyleSheet(QStringLiteral("color: #b00020"));
  error_->setWordWrap(true);
  column->addWidget(error_);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel);
  QPushButton* set = buttons->addButton(fnd::localized("Set"), QDialogButtonBox::AcceptRole);
  set->setDefault(true);
  column->addWidget(buttons);
  setShowsEffects(false);

  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(choose, &QPushButton::clicked, this, &PictureTaker::chooseFile);
  connect(recents_, &QListWidget::itemActivated, this, [this](QListWidgetItem* item) {
    choosePictureAtPath(item->data(Qt::UserRole).toString());
  });
  connect(recents_, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) {
    choosePictureAtPath(item->data(Qt::UserRole).toString());
  });
  connect(zoomSlider_, &QSlider::valueChanged, this,
          [this](int value) { setCropZoom(std::pow(kMaxCropZoom, double(value) / kSliderSteps)); });
  connect(effects_, &QComboBox::currentIndexChanged, this,
          [this](int index) { setEffect(Effect(index)); });
  cropView_->dragged = [this](const QPointF& delta) { moveCrop(delta); };
  cropView_->wheeled = [this](double notches) {
    zoomSlider_->setValue(zoomSlider_->value() + int(notches * 5));
  };
}

void PictureTaker::setInputImagePath(const QString& path) { inputPath_ = path; }

void PictureTaker::setShowsEffects(bool shows) {
  showsEffects_ = shows;
  effects_->setVisible(shows);
  effectsLabel_->setVisible(shows);
  if (!shows) setEffect(Effect::None);
}

void PictureTaker::beginPictureTakerSheetForWindow(QWidget* window,
                                                   std::function<void(long)> didEnd) {
  didEnd_ = std::move(didEnd);
  if (window) setParent(window, Qt::Sheet | Qt::Dialog);
  setWindowModality(window ? Qt::WindowModal : Qt::ApplicationModal);
  fillRecents();
  if (picture_.isNull()) {
    const QStringList recent = recentPictures(defaults());
    if (QFileInfo::exists(inputPath_))
      choosePictureAtPath(inputPath_);
    else if (!recent.isEmpty())
      choosePictureAtPath(recent.first());
  }
  disconnect(this, &QDialog::finished, nullptr, nullptr);
  connect(this, &QDialog::finished, this, [this](int result) {
    if (result == QDialog::Accepted && !currentPath_.isEmpty()) remember(currentPath_);
    if (auto done = std::move(didEnd_)) done(result == QDialog::Accepted ? 1 : 0);
  });
  open();
}

bool PictureTaker::choosePictureAtPath(const QString& path) {
  QImageReader reader(path);
  reader.setAutoTransform(true);
  const QImage read = reader.read();
  if (read.isNull()) {
    showError(fnd::localized("“%1” could not be opened as a picture: %2.")
                  .arg(QFileInfo(path).fileName(), reader.errorString()));
    return false;
  }
  picture_ = read.convertToFormat(QImage::Format_ARGB32_Premultiplied);
  currentPath_ = path;
  // A new picture starts with its largest square, centred.
  cropCentre_ = QPointF(picture_.width() / 2.0, picture_.height() / 2.0);
  cropZoom_ = 1;
  {
    const QSignalBlocker quiet(zoomSlider_);
    zoomSlider_->setValue(0);
  }
  showError({});
  refresh();
  return true;
}

void PictureTaker::chooseFile() {
  OpenPanelRequest request;
  request.title = fnd::localized("Choose a Picture");
  for (const QByteArray& format : QImageReader::supportedImageFormats())
    request.allowedFileTypes.append(QString::fromLatin1(format));
  const FilePanelResult result = ModalServices::shared().runOpenPanel(request, this);
  if (result.response == ModalResponseOK && result.url().isLocalFile())
    choosePictureAtPath(result.url().toLocalFile());
}

QString PictureTaker::errorText() const { return error_->text(); }

void PictureTaker::showError(const QString& text) { error_->setText(text); }

QRect PictureTaker::squareIn(const QSize& size, double zoom, const QPointF& centre) {
  if (size.isEmpty()) return {};
  zoom = std::isfinite(zoom) ? std::clamp(zoom, 1.0, kMaxCropZoom) : 1;
  const int side = std::max(1, int(std::lround(std::min(size.width(), size.height()) / zoom)));
  const int x = std::clamp(int(std::lround(centre.x() - side / 2.0)), 0, size.width() - side);
  const int y = std::clamp(int(std::lround(centre.y() - side / 2.0)), 0, size.height() - side);
  return QRect(x, y, side, side);
}

QRect PictureTaker::cropRect() const { return squareIn(picture_.size(), cropZoom_, cropCentre_); }

void PictureTaker::setCropZoom(double zoom) {
  cropZoom_ = std::isfinite(zoom) ? std::clamp(zoom, 1.0, kMaxCropZoom) : 1;
  refresh();
}

// The centre stays where the square can be, so a drag past an edge does
// not have to be undone before the square moves back.
void PictureTaker::moveCrop(const QPointF& delta) {
  cropCentre_ = QRectF(cropRect()).center() + delta;
  refresh();
}

void PictureTaker::setEffect(Effect effect) {
  effect_ = effect;
  if (effects_->currentIndex() != int(effect)) effects_->setCurrentIndex(int(effect));
  refresh();
}

void PictureTaker::refresh() { cropView_->setPicture(applyEffect(picture_, effect_), cropRect()); }

QImage PictureTaker::outputImage() const {
  if (picture_.isNull()) return {};
  return applyEffect(picture_.copy(cropRect()), effect_);
}

QImage PictureTaker::applyEffect(const QImage& image, Effect effect) {
  if (image.isNull() || effect == Effect::None) return image;
  QImage out = image.convertToFormat(QImage::Format_ARGB32);
  for (int y = 0; y < out.height(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
    for (int x = 0; x < out.width(); ++x) {
      const QRgb p = line[x];
      const int r = qRed(p), g = qGreen(p), b = qBlue(p), a = qAlpha(p);
      const int grey = (r * 299 + g * 587 + b * 114) / 1000;
      switch (effect) {
        case Effect::Mono:
          line[x] = qRgba(grey, grey, grey, a);
          break;
        case Effect::Sepia:
          line[x] = qRgba(std::min(255, grey * 240 / 200), std::min(255, grey * 200 / 200),
                          grey * 145 / 200, a);
          break;
        case Effect::Invert:
          line[x] = qRgba(255 - r, 255 - g, 255 - b, a);
          break;
        case Effect::Posterize:
          line[x] = qRgba(r & 0xC0, g & 0xC0, b & 0xC0, a);
          break;
        case Effect::None:
          break;
      }
    }
  }
  return out.convertToFormat(image.format());
}

QStringList PictureTaker::recentPictures(const fnd::UserDefaults& defaults) {
  QStringList paths;
  for (const QVariant& value : defaults.arrayForKey(kRecentKey))
    if (QString path = value.toString(); !path.isEmpty() && !paths.contains(path))
      paths.append(path);
  return paths.mid(0, kMaxRecent);
}

void PictureTaker::remember(const QString& path) {
  QStringList paths = recentPictures(defaults());
  paths.removeAll(path);
  paths.prepend(path);
  QVariantList stored;
  for (const QString& p : paths.mid(0, kMaxRecent)) stored.append(p);
  defaults().setObject(stored, kRecentKey);
}

// Pictures that have gone since are left out of the list.
void PictureTaker::fillRecents() {
  recents_->clear();
  for (const QString& path : recentPictures(defaults())) {
    if (!QFileInfo::exists(path)) continue;
    QImageReader reader(path);
    reader.setScaledSize(QSize(48, 48));
    auto* item = new QListWidgetItem(QIcon(QPixmap::fromImage(reader.read())),
                                     QFileInfo(path).fileName(), recents_);
    item->setData(Qt::UserRole, path);
  }
}

}  // namespace ui
