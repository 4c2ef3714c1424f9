#include "window/IMResizeImageSettings.h"

#include <QButtonGroup>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "appkit/core/Beep.h"
#include "foundation/Localized.h"
#include "foundation/ValueTransformer.h"
#include "window/IMWindowController.h"

namespace {

QString shown(double value) { return QString::number(value, 'g', 10); }

QVariant transformed(const char* name, double zoom) {
  auto transformer = fnd::ValueTransformer::valueTransformerForName(QString::fromLatin1(name));
  return transformer ? transformer->transformedValue(zoom) : QVariant(zoom);
}

}  // namespace

IMResizeImageSettings::IMResizeImageSettings(IMWindowController* owner) : owner_(owner) {
  setObjectName(QStringLiteral("IMResizeImageSettings"));
  canvasRadio_ = new QRadioButton(fnd::localized("Canvas size"), this);
  resizeRadio_ = new QRadioButton(fnd::localized("Scale the image"), this);
  auto* radios = new QButtonGroup(this);
  radios->addButton(canvasRadio_);
  radios->addButton(resizeRadio_);
  canvasRadio_->setChecked(true);

  canvasBox_ = new QGroupBox(this);
  canvasWidth_ = makeField(canvasBox_);
  canvasHeight_ = makeField(canvasBox_);
  auto* canvasForm = new QFormLayout(canvasBox_);
  canvasForm->addRow(fnd::localized("Width:"), canvasWidth_);
  canvasForm->addRow(fnd::localized("Height:"), canvasHeight_);

  resizeBox_ = new QGroupBox(this);
  resizeWidth_ = makeField(resizeBox_);
  resizeHeight_ = makeField(resizeBox_);
  resizePercent_ = makeField(resizeBox_);
  auto* resizeForm = new QFormLayout(resizeBox_);
  resizeForm->addRow(fnd::localized("Width:"), resizeWidth_);
  resizeForm->addRow(fnd::localized("Height:"), resizeHeight_);
  resizeForm->addRow(fnd::localized("Scale (%):"), resizePercent_);

  auto* cancel = new QPushButton(fnd::localized("Cancel"), this);
  auto* apply = new QPushButton(fnd::localized("Apply"), this);
  apply->setDefault(true);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(cancel);
  buttons->addWidget(apply);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(canvasRadio_);
  layout->addWidget(canvasBox_);
  layout->addWidget(resizeRadio_);
  layout->addWidget(resizeBox_);
  layout->addLayout(buttons);

  connect(canvasRadio_, &QRadioButton::clicked, this,
          [this] { owner_->pressResizeCanvasRadioButton(canvasRadio_); });
  connect(resizeRadio_, &QRadioButton::clicked, this,
          [this] { owner_->pressResizeRadioButton(resizeRadio_); });
  connect(cancel, &QPushButton::clicked, this, [this] { owner_->cancelResizeDocument(this); });
  // Apply takes what is being typed as well.
  connect(apply, &QPushButton::clicked, this, [this] {
    if (QLineEdit* field = qobject_cast<QLineEdit*>(focusWidget()); field && field->isModified())
      commit(field);
    owner_->resizeDocument(this);
  });
}

QLineEdit* IMResizeImageSettings::makeField(QWidget* box) {
  auto* field = new QLineEdit(box);
  field->setAlignment(Qt::AlignRight);
  field->setMaximumWidth(110);
  connect(field, &QLineEdit::editingFinished, this, [this, field] {
    if (field->isModified()) commit(field);
  });
  return field;
}

bool IMResizeImageSettings::readNumber(QLineEdit* field, double* value) {
  bool ok = false;
  *value = QLocale().toDouble(field->text().trimmed(), &ok);
  if (!ok) *value = field->text().trimmed().toDouble(&ok);
  return ok;
}

void IMResizeImageSettings::commit(QLineEdit* field) {
  field->setModified(false);
  double value = 0;
  if (readNumber(field, &value)) {
    if (field == canvasWidth_) owner_->setResizeCanvasWidth(value);
    if (field == canvasHeight_) owner_->setResizeCanvasHeight(value);
    if (field == resizePercent_) owner_->setResizeZoom(value / 100);
    const char* name = field == resizeWidth_    ? "ImageResizeWidthTransformer"
                       : field == resizeHeight_ ? "ImageResizeHeightTransformer"
                                                : nullptr;
    if (name) {
      auto transformer = fnd::ValueTransformer::valueTransformerForName(QString::fromLatin1(name));
      // A typed size of 0 turns into the factor 0, which is refused below.
      if (transformer)
        owner_->setResizeZoom(transformer->reverseTransformedValue(value).toDouble());
    }
  } else {
    ui::beep();
  }
  // A refused value is put back; an accepted zoom shows in its three fields.
  showValues();
}

void IMResizeImageSettings::showValues() {
  const double zoom = owner_->resizeZoom();
  canvasWidth_->setText(shown(owner_->resizeCanvasWidth()));
  canvasHeight_->setText(shown(owner_->resizeCanvasHeight()));
  resizeWidth_->setText(shown(transformed("ImageResizeWidthTransformer", zoom).toDouble()));
  resizeHeight_->setText(shown(transformed("ImageResizeHeightTransformer", zoom).toDouble()));
  resizePercent_->setText(shown(zoom * 100));
  for (QLineEdit* field :
       {canvasWidth_, canvasHeight_, resizeWidth_, resizeHeight_, resizePercent_})
    field->setModified(false);
}
