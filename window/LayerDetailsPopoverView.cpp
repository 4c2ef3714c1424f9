#include "window/LayerDetailsPopoverView.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QSlider>
#include <QSpinBox>
#include <cmath>

#include "appkit/Popover.h"
#include "appkit/PopoverNib.h"
#include "coredata/ManagedObjectContext.h"
#include "foundation/Localized.h"
#include "foundation/UndoManager.h"
#include "model/Layer.h"
#include "window/IMGenericArrayController.h"

namespace {

fnd::UndoManager* undoManagerOf(Layer* layer) {
  cd::ManagedObjectContext* context = layer ? layer->managedObjectContext() : nullptr;
  return context ? context->undoManager() : nullptr;
}

void nameStep(Layer* layer, const QString& name) {
  if (fnd::UndoManager* undo = undoManagerOf(layer)) undo->setActionName(name);
}

}  // namespace

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
    if (layer_->visible() == on) return;
    layer_->setVisible(on);
    nameStep(layer_, on ? fnd::localized("Show Layer") : fnd::localized("Hide Layer"));
  });
  connect(opacity_, &QSlider::valueChanged, this, [this](int percent) {
    if (std::lround(layer_->alpha() * 100) == percent) return;
    layer_->setAlpha(percent / 100.0);
    nameStep(layer_, fnd::localized("Change Opacity"));
  });
  connect(opacity_, &QSlider::sliderPressed, this, &LayerDetailsPopoverView::beginSliderStep);
  connect(opacity_, &QSlider::sliderReleased, this, &LayerDetailsPopoverView::endSliderStep);
}

// A popover closed in the middle of a drag still ends its step.
LayerDetailsPopoverView::~LayerDetailsPopoverView() { endSliderStep(); }

void LayerDetailsPopoverView::beginSliderStep() {
  fnd::UndoManager* undo = undoManagerOf(layer_);
  if (!undo || sliderStepOpen_) return;
  layer_->managedObjectContext()->processPendingChanges();
  undo->beginUndoGrouping();
  sliderStepOpen_ = true;
}

void LayerDetailsPopoverView::endSliderStep() {
  if (!sliderStepOpen_) return;
  sliderStepOpen_ = false;
  fnd::UndoManager* undo = undoManagerOf(layer_);
  if (!undo) return;
  layer_->managedObjectContext()->processPendingChanges();
  undo->endUndoGrouping();
}

void LayerDetailsPopoverView::registerNib() {
  ui::PopoverNib::registerNib(kNibName, [](void* owner) -> ui::Popover* {
    auto* list = static_cast<IMGenericArrayController*>(owner);
    auto* layer = dynamic_cast<Layer*>(list ? list->objectForPopover() : nullptr);
    if (!layer) return nullptr;
    return new ui::Popover(new LayerDetailsPopoverView(layer));
  });
}
