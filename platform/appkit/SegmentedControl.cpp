#include "appkit/SegmentedControl.h"

#include <QHBoxLayout>
#include <QToolButton>

#include "appkit/Application.h"
#include "appkit/Binding.h"
#include "appkit/Responder.h"

namespace ui {

SegmentedControl::SegmentedControl(QWidget* parent) : QWidget(parent) {
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  group_.setExclusive(false);
  connect(&group_, &QButtonGroup::idClicked, this, [this](int segment) { clicked(segment); });
}

SegmentedControl::~SegmentedControl() = default;

void SegmentedControl::setSegmentCount(int count) {
  while (segmentCount() > count) delete button(segmentCount() - 1);
  while (segmentCount() < count) {
    auto* segment = new QToolButton(this);
    segment->setCheckable(true);
    segment->setAutoRaise(false);
    group_.addButton(segment, segmentCount());
    layout()->addWidget(segment);
  }
}

void SegmentedControl::setLabel(const QString& label, int segment) {
  if (QAbstractButton* b = button(segment)) b->setText(label);
}

QString SegmentedControl::labelForSegment(int segment) const {
  QAbstractButton* b = button(segment);
  return b ? b->text() : QString();
}

void SegmentedControl::setImage(const QIcon& image, int segment) {
  if (QAbstractButton* b = button(segment)) b->setIcon(image);
}

QIcon SegmentedControl::imageForSegment(int segment) const {
  QAbstractButton* b = button(segment);
  return b ? b->icon() : QIcon();
}

void SegmentedControl::setToolTip(const QString& toolTip, int segment) {
  if (QAbstractButton* b = button(segment)) b->setToolTip(toolTip);
}

QString SegmentedControl::toolTipForSegment(int segment) const {
  QAbstractButton* b = button(segment);
  return b ? b->toolTip() : QString();
}

void SegmentedControl::setImageSize(const QSize& size) {
  for (QAbstractButton* b : group_.buttons()) b->setIconSize(size);
}

void SegmentedControl::setWidth(double width, int segment) {
  QAbstractButton* b = button(segment);
  if (!b) return;
  if (width > 0)
    b->setFixedWidth(int(width));
  else
    b->setMinimumWidth(0), b->setMaximumWidth(QWIDGETSIZE_MAX);
}

double SegmentedControl::widthForSegment(int segment) const {
  QAbstractButton* b = button(segment);
  return b && b->minimumWidth() == b->maximumWidth() ? b->minimumWidth() : 0;
}

void SegmentedControl::setMenu(QMenu* menu, int segment) {
  auto* b = qobject_cast<QToolButton*>(button(segment));
  if (!b) return;
  b->setMenu(menu);
  b->setPopupMode(QToolButton::DelayedPopup);
}

QMenu* SegmentedControl::menuForSegment(int segment) const {
  auto* b = qobject_cast<QToolButton*>(button(segment));
  return b ? b->menu() : nullptr;
}

void SegmentedControl::setEnabled(bool enabled, int segment) {
  if (QAbstractButton* b = button(segment)) b->setEnabled(enabled);
}

bool SegmentedControl::isEnabledForSegment(int segment) const {
  QAbstractButton* b = button(segment);
  return b && b->isEnabled();
}

void SegmentedControl::setTrackingMode(SegmentSwitchTracking mode) {
  tracking_ = mode;
  if (mode == SegmentSwitchTrackingMomentary) {
    for (QAbstractButton* b : group_.buttons()) b->setChecked(false);
  }
}

int SegmentedControl::selectedSegment() const {
  if (lastSelected_ >= 0 && isSelectedForSegment(lastSelected_)) return lastSelected_;
  for (int segment = 0; segment < segmentCount(); ++segment)
    if (isSelectedForSegment(segment)) return segment;
  return tracking_ == SegmentSwitchTrackingMomentary ? lastSelected_ : -1;
}

void SegmentedControl::setSelectedSegment(int segment) {
  if (tracking_ == SegmentSwitchTrackingSelectOne) {
    for (QAbstractButton* b : group_.buttons()) b->setChecked(group_.id(b) == segment);
  } else {
    setSelected(true, segment);
  }
  lastSelected_ = segment;
}

bool SegmentedControl::isSelectedForSegment(int segment) const {
  QAbstractButton* b = button(segment);
  return b && b->isChecked();
}

void SegmentedControl::setSelected(bool selected, int segment) {
  QAbstractButton* b = button(segment);
  if (!b) return;
  b->setChecked(selected && tracking_ != SegmentSwitchTrackingMomentary);
  if (selected) lastSelected_ = segment;
}

void SegmentedControl::performClick(int segment) {
  if (QAbstractButton* b = button(segment); b && b->isEnabled()) b->click();
}

// The button has already toggled itself; each mode then applies its rule.
void SegmentedControl::clicked(int segment) {
  switch (tracking_) {
    case SegmentSwitchTrackingSelectOne:
      setSelectedSegment(segment);
      break;
    case SegmentSwitchTrackingSelectAny:
      if (isSelectedForSegment(segment)) lastSelected_ = segment;
      break;
    case SegmentSwitchTrackingMomentary:
      button(segment)->setChecked(false);
      lastSelected_ = segment;
      break;
  }
  if (selectedIndexBinding_) {
    selectedIndexBinding_->setValue(segment);
    if (selectedIndexBinding_) setSelectedSegment(selectedIndexBinding_->value().toInt());
  }
  if (action_.isEmpty()) return;
  if (Application* application = Application::existingApplication())
    application->sendAction(action_, target_, this);
  else if (target_)
    target_->tryToPerform(action_, this);
}

void SegmentedControl::bindSelectedIndex(fnd::Observable* controller, const QString& keyPath) {
  selectedIndexBinding_ =
      std::make_unique<Binding>(controller, keyPath, [this](const QVariant& value, bool) {
        bool ok = false;
        const int index = value.toInt(&ok);
        setSelectedSegment(ok ? index : -1);
      });
}

void SegmentedControl::unbindSelectedIndex() { selectedIndexBinding_.reset(); }

}  // namespace ui
