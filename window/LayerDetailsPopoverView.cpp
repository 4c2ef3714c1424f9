#include "window/LayerDetailsPopoverView.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QSlider>
#include <QSpinBox>
#include <cmath>

#include "appkit/Popover.h"
#include "appkit/PopoverNib.h"
#include "foundation/Localized.h"
#include "model/Layer.h"
#include "window/IMGenericArrayController.h"

LayerDetailsPopoverView::LayerDetailsPopoverView(Layer* layer, QWidget* parent)
    : QWidget(parent),
      layer_(layer),
      visible_(new QCheckBox(fnd::localized("Visible"))),
      opacity_(new QSlider(Qt::Horizontal)),
      opacityField_(new QSpinBox) {
  auto* form = new QFormLayout(this);
  form->addRow(visible_);
  opacity_->setRange(0, 100);
  opacity_->setMinimumWidth(160);
  opacityField_->setRange(0, 100);
  opacityField_->setSuffix(QStringLiteral(" %"));
  opacityField_->setAlignment(Qt::AlignRight);
  auto* opacityRow = new QHBoxLayout;
  opacityRow->addWidget(opacity_, 1);
  opacityRow->addWidget(opacityField_);
  form->addRow(fnd::localized("Opacity"), opacityRow);
  visible_->setChecked(layer_->visible());
  opacity_->setValue(int(std::lround(layer_->alpha() * 100)));
  opacityField_->setValue(opacity_->value());
  // The field and the slider show one value; a number typed moves the
  // slider, whose change edits the layer.
  connect(opacity_, &QSlider::valueChanged, opacityField_, &QSpinBox::setValue);
  connect(opacityField_, &QSpinBox::valueChanged, opacity_, &QSlider::setValue);
  connect(visible_, &QCheckBox::toggled, this, [this](bool on) {
    if (layer_->visible() != on) layer_->setVisible(on);
  });
  connect(opacity_, &QSlider::valueChanged, this, [this](int percent) {
    if (std::lround(layer_->alpha() * 100) != percent) layer_->setAlpha(percent / 100.0);
  });
}

void LayerDetailsPopoverView::registerNib() {
  ui::PopoverNib::registerNib(kNibName, [](void* owner) -> ui::Popover* {
    auto* list = static_cast<IMGenericArrayController*>(owner);
    auto* layer = dynamic_cast<Layer*>(list ? list->objectForPopover() : nullptr);
    if (!layer) return nullptr;
    return new ui::Popover(new LayerDetailsPopoverView(layer));
  });
}
