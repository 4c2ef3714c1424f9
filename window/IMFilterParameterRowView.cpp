#include "window/IMFilterParameterRowView.h"

#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>
#include <cmath>

#include "appkit/ModalServices.h"
#include "coredata/ManagedObjectContext.h"
#include "foundation/Localized.h"
#include "foundation/UndoManager.h"
#include "model/FilterParameter.h"
#include "model/Image.h"

namespace {

QDoubleSpinBox* numberBox(double min, double max) {
  auto* box = new QDoubleSpinBox;
  box->setRange(min, max);
  box->setDecimals(2);
  box->setKeyboardTracking(false);
  box->setFixedWidth(72);
  return box;
}

QString swatchStyle(const QColor& color) {
  return QStringLiteral("background: %1; border: 1px solid #555; border-radius: 3px")
      .arg(color.name(QColor::HexArgb));
}

}  // namespace

IMFilterParameterRowView::IMFilterParameterRowView(const QString& identifier,
                                                   FilterParameter* parameter, QWidget* parent)
    : QWidget(parent), identifier_(identifier), parameter_(parameter) {
  setObjectName(identifier);
  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(6, 3, 6, 3);
  column->setSpacing(2);
  auto* name = new QLabel(parameter->readableName());
  name->setToolTip(parameter->detailedDescription());
  column->addWidget(name);
  if (identifier == "FloatParamRow")
    buildFloat();
  else if (identifier == "PointParamRow")
    buildPoint();
  else if (identifier == "ColorParamRow")
    buildColor();
  else if (identifier == "ImageParamRow")
    buildImage();
  else if (identifier == "BoolParamRow")
    buildBool();
  else
    buildOther();
  refresh();
  followParameter();
}

// Undo and redo, and the canvas's point handle, change the parameter
// behind the row's back: the controls show each change. The row may go
// first; its registrations then remove themselves at the next change.
void IMFilterParameterRowView::followParameter() {
  QPointer<IMFilterParameterRowView> self(this);
  for (const char* key : {"floatValue", "boolValue", "x", "y", "point", "color", "image"}) {
    auto token = std::make_shared<fnd::Observable::ObserverToken>(0);
    *token = parameter_->addObserver(
        QString::fromLatin1(key), 0,
        [self, token](fnd::Observable* observed, const QString&, const fnd::KeyValueChange&) {
          if (!self) return observed->removeObserver(*token);
          if (!self->refreshing_) self->refresh();
        });
  }
}

int IMFilterParameterRowView::heightForIdentifier(const QString& identifier) {
  if (identifier == "FloatParamRow" || identifier == "PointParamRow") return 54;
  if (identifier == "ImageParamRow") return 74;
  if (identifier == "BoolParamRow") return 30;
  return 46;
}

void IMFilterParameterRowView::buildFloat() {
  min_ = parameter_->minNumberValue().isValid() ? parameter_->minNumberValue().toDouble() : 0;
  max_ = parameter_->maxNumberValue().isValid() ? parameter_->maxNumberValue().toDouble() : 1;
  if (!(max_ > min_)) max_ = min_ + 1;
  auto* row = new QHBoxLayout;
  slider_ = new QSlider(Qt::Horizontal);
  slider_->setRange(0, kSliderSteps);
  number_ = numberBox(-1e6, 1e6);
  row->addWidget(slider_, 1);
  row->addWidget(number_);
  static_cast<QVBoxLayout*>(layout())->addLayout(row);
  connect(slider_, &QSlider::valueChanged, this, [this](int step) {
    if (!refreshing_) setFloat(min_ + (max_ - min_) * step / kSliderSteps);
  });
  connect(number_, &QDoubleSpinBox::valueChanged, this, [this](double value) {
    if (!refreshing_) setFloat(value);
  });
}

void IMFilterParameterRowView::buildPoint() {
  auto* row = new QHBoxLayout;
  x_ = numberBox(-1e6, 1e6);
  y_ = numberBox(-1e6, 1e6);
  row->addWidget(new QLabel("x"));
  row->addWidget(x_);
  row->addWidget(new QLabel("y"));
  row->addWidget(y_);
  row->addStretch(1);
  static_cast<QVBoxLayout*>(layout())->addLayout(row);
  auto edited = [this] {
    if (refreshing_) return;
    parameter_->setPoint(QPointF(x_->value(), y_->value()));
    endEdit();
  };
  connect(x_, &QDoubleSpinBox::valueChanged, this, edited);
  connect(y_, &QDoubleSpinBox::valueChanged, this, edited);
}

void IMFilterParameterRowView::buildColor() {
  colorWell_ = new QPushButton;
  colorWell_->setFixedSize(48, 20);
  layout()->addWidget(colorWell_);
  connect(colorWell_, &QPushButton::clicked, this, [this] {
    ui::ColorPanelRequest request;
    request.color = parameter_->color();
    request.title = parameter_->readableName();
    QPointer<IMFilterParameterRowView> self(this);
    request.colorChanged = [self](const QColor& color) {
      if (!self) return;
      self->parameter_->setColor(color);
      self->endEdit();
      self->refresh();
    };
    ui::ModalServices::shared().orderFrontColorPanel(request);
  });
}

void IMFilterParameterRowView::buildImage() {
  imageWell_ = new QPushButton;
  imageWell_->setFixedSize(64, 48);
  imageWell_->setIconSize(QSize(60, 44));
  imageWell_->setToolTip(fnd::localized("Choose an image"));
  layout()->addWidget(imageWell_);
  connect(imageWell_, &QPushButton::clicked, this, [this] {
    ui::OpenPanelRequest request;
    request.allowedFileTypes = {QStringLiteral("public.image")};
    QPointer<IMFilterParameterRowView> self(this);
    ui::ModalServices::shared().beginOpenPanelSheet(
        request, window(), [self](const ui::FilePanelResult& result) {
          if (!self || result.response != ui::ModalResponseOK || !self->parameter_->image()) return;
          gfx::ImagePtr picture = gfx::Image::imageWithContentsOfFile(result.url().toLocalFile());
          if (!picture) return;
          self->parameter_->image()->setNsImage(picture);
          self->endEdit();
          self->refresh();
        });
  });
}

void IMFilterParameterRowView::buildBool() {
  check_ = new QCheckBox(fnd::localized("On"));
  layout()->addWidget(check_);
  connect(check_, &QCheckBox::toggled, this, [this](bool on) {
    if (refreshing_) return;
    parameter_->setBoolValue(on);
    endEdit();
  });
}

void IMFilterParameterRowView::buildOther() {
  value_ = new QLabel;
  value_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  layout()->addWidget(value_);
}

void IMFilterParameterRowView::setFloat(double value) {
  parameter_->setFloatValue(float(value));
  endEdit();
  refresh();
}

void IMFilterParameterRowView::endEdit() {
  cd::ManagedObjectContext* context = parameter_->managedObjectContext();
  if (!context) return;
  context->processPendingChanges();
  if (fnd::UndoManager* undo = context->undoManager())
    undo->setActionName(fnd::localized("Change %1").arg(parameter_->readableName()));
}

// A value (or other text) of another kind than a number, point, colour,
// image or boolean: vectors show their components.
static QString textOfValue(const QVariant& value) {
  if (value.canConvert<QString>()) return value.toString();
  if (value.metaType() == QMetaType::fromType<QVariantList>()) {
    QStringList parts;
    for (const QVariant& part : value.toList()) parts.append(part.toString());
    return QStringLiteral("[%1]").arg(parts.join(QStringLiteral(" ")));
  }
  return QString::fromLatin1(value.typeName() ? value.typeName() : "");
}

void IMFilterParameterRowView::refresh() {
  refreshing_ = true;
  if (slider_) {
    const double value = parameter_->floatValue();
    slider_->setValue(int(std::lround((value - min_) / (max_ - min_) * kSliderSteps)));
    number_->setValue(value);
  }
  if (x_) {
    x_->setValue(parameter_->x());
    y_->setValue(parameter_->y());
  }
  if (check_) check_->setChecked(parameter_->boolValue());
  if (colorWell_) colorWell_->setStyleSheet(swatchStyle(parameter_->color()));
  if (imageWell_) {
    Image* image = parameter_->image();
    gfx::ImagePtr picture = image ? image->nsImage() : nullptr;
    QRectF rect(QPointF(), picture ? picture->size() : QSizeF());
    gfx::CGImagePtr pixels = picture ? picture->CGImageForProposedRect(&rect, nullptr) : nullptr;
    imageWell_->setIcon(pixels ? QIcon(QPixmap::fromImage(pixels->qImage())) : QIcon());
  }
  if (value_) value_->setText(textOfValue(parameter_->ciFilterParameterValue()));
  refreshing_ = false;
}
