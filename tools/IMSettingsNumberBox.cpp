#include "tools/IMSettingsNumberBox.h"

#include <QDoubleSpinBox>
#include <QHBoxLayout>
#include <QLabel>

IMSettingsNumberBox::IMSettingsNumberBox(const QString& title, double minimum, double maximum,
                                         QWidget* parent)
    : QWidget(parent), field_(new QDoubleSpinBox) {
  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(2, 0, 2, 0);
  row->setSpacing(4);
  row->addWidget(new QLabel(title));
  field_->setRange(minimum, maximum);
  field_->setDecimals(1);
  field_->setKeyboardTracking(false);
  row->addWidget(field_, 1);
  setFixedSize(116, 28);
  QObject::connect(field_, &QDoubleSpinBox::valueChanged, this, [this](double value) {
    if (!showing_ && changed_) changed_(value);
  });
}

double IMSettingsNumberBox::value() const { return field_->value(); }

void IMSettingsNumberBox::setValue(double value) {
  showing_ = true;
  field_->setValue(value);
  showing_ = false;
}
