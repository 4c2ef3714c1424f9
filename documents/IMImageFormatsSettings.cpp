#include "documents/IMImageFormatsSettings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QSignalBlocker>
#include <QSlider>
#include <QStackedWidget>
#include <cmath>

#include "appkit/FileNameExtensions.h"
#include "documents/IMDocument.h"
#include "foundation/Localized.h"
#include "imageio/ImageProperties.h"
#include "imageio/TypeIdentifiers.h"

namespace {

constexpr int kQualitySteps = 100;

QWidget* page(QLayout* layout) {
  auto* widget = new QWidget;
  layout->setContentsMargins(0, 0, 0, 0);
  widget->setLayout(layout);
  return widget;
}

}  // namespace

IMImageFormatsSettings::IMImageFormatsSettings(IMDocument* document, QWidget* parent)
    : QWidget(parent), document_(document) {
  build();
  bind();
}

IMImageFormatsSettings::~IMImageFormatsSettings() { document_->removeObserver(this); }

void IMImageFormatsSettings::build() {
  types_ = new QComboBox;
  for (const QVariant& entry : document_->saveTypes()) {
    const QVariantMap type = entry.toMap();
    types_->addItem(type.value("localized").toString(), type.value("uti"));
  }
  quality_ = new QSlider(Qt::Horizontal);
  quality_->setRange(0, kQualitySteps);
  auto* qualityRow = new QHBoxLayout;
  qualityRow->addWidget(new QLabel(fnd::localized("Least")));
  qualityRow->addWidget(quality_, 1);
  qualityRow->addWidget(new QLabel(fnd::localized("Best")));
  compression_ = new QComboBox;
  compression_->addItem(fnd::localized("None"), int(io::TIFFCompressionNone));
  compression_->addItem(fnd::localized("LZW"), int(io::TIFFCompressionLZW));
  compression_->addItem(fnd::localized("PackBits"), int(io::TIFFCompressionPackBits));
  auto* compressionRow = new QFormLayout;
  compressionRow->addRow(fnd::localized("Compression:"), compression_);
  auto* qualityForm = new QFormLayout;
  qualityForm->addRow(fnd::localized("Quality:"), page(qualityRow));
  tabs_ = new QStackedWidget;
  tabs_->addWidget(new QWidget);
  tabs_->addWidget(page(qualityForm));
  tabs_->addWidget(page(compressionRow));
  keepAlpha_ = new QCheckBox(fnd::localized("Alpha"));
  size_ = new QLabel;
  progress_ = new QProgressBar;
  progress_->setRange(0, 0);
  progress_->setMaximumWidth(80);
  auto* sizeRow = new QHBoxLayout;
  sizeRow->addWidget(size_, 1);
  sizeRow->addWidget(progress_);

  auto* form = new QFormLayout(this);
  form->addRow(fnd::localized("Format:"), types_);
  form->addRow(tabs_);
  form->addRow(QString(), keepAlpha_);
  form->addRow(fnd::localized("File Size:"), page(sizeRow));
}

void IMImageFormatsSettings::observe(const QString& key,
                                     std::function<void(const QVariant&)> apply) {
  document_->addObserver(
      key, fnd::ObservingInitial | fnd::ObservingNew,
      [apply](fnd::Observable*, const QString&, const fnd::KeyValueChange& change) {
        apply(change.newValue);
      },
      this);
}

// The save panel showing this view offers the chosen type's extension.
void IMImageFormatsSettings::followInPanel(const QString& type) {
  auto* panel = qobject_cast<QFileDialog*>(window());
  if (!panel || type.isEmpty()) return;
  const QStringList extensions = io::TypeIdentifiers::filenameExtensions(type);
  if (extensions.isEmpty()) return;
  panel->setDefaultSuffix(extensions.first());
  panel->setNameFilter(
      QStringLiteral("%1 (*.%2)")
          .arg(IMDocument::imageIOLocalizedString(type), extensions.join(QStringLiteral(" *."))));
  // The typed name follows the picker: "photo.png" becomes "photo.jpg".
  auto* name = panel->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
  if (!name) return;
  QStringList replaceable{IMNativeFileExtension};
  for (const QVariant& entry : document_->saveTypes())
    replaceable += io::TypeIdentifiers::filenameExtensions(entry.toMap().value("uti").toString());
  name->setText(ui::FileNameExtensions::replacing(name->text(), replaceable, extensions.first()));
}

void IMImageFormatsSettings::bind() {
  observe("saveType", [this](const QVariant& value) {
    QSignalBlocker block(types_);
    types_->setCurrentIndex(types_->findData(value.toString()));
    followInPanel(value.toString());
  });
  observe("saveTab", [this](const QVariant& value) { tabs_->setCurrentIndex(value.toInt()); });
  observe("saveQuality", [this](const QVariant& value) {
    QSignalBlocker block(quality_);
    quality_->setValue(int(std::lround(value.toDouble() * kQualitySteps)));
  });
  observe("saveCompression", [this](const QVariant& value) {
    QSignalBlocker block(compression_);
    compression_->setCurrentIndex(compression_->findData(value.toInt()));
  });
  observe("savedFileKeepsAlpha", [this](const QVariant& value) {
    QSignalBlocker block(keepAlpha_);
    keepAlpha_->setChecked(value.toBool());
  });
  observe("selectedTypeDoesNotSupportAlpha",
          [this](const QVariant& value) { keepAlpha_->setEnabled(!value.toBool()); });
  // Reading the trigger starts the estimate; its result arrives as the
  // size text.
  observe("fileSizeTriger", [](const QVariant&) {});
  observe("saveFileSize", [this](const QVariant& value) { size_->setText(value.toString()); });
  observe("isCalculatingFileSize",
          [this](const QVariant& value) { progress_->setVisible(value.toBool()); });

  connect(types_, &QComboBox::currentIndexChanged, this,
          [this](int index) { document_->setSaveType(types_->itemData(index).toString()); });
  connect(quality_, &QSlider::valueChanged, this,
          [this](int value) { document_->setSaveQuality(double(value) / kQualitySteps); });
  connect(compression_, &QComboBox::currentIndexChanged, this, [this](int index) {
    document_->setSaveCompression(compression_->itemData(index).toInt());
  });
  connect(keepAlpha_, &QCheckBox::toggled, this,
          [this](bool checked) { document_->setSavedFileKeepsAlpha(checked); });
}
