#include "appkit/LayoutConstraint.h"

#include <cmath>

#include "appkit/AnimationContext.h"

namespace ui {

LayoutConstraint::LayoutConstraint(QWidget* widget, Attribute attribute, double constant,
                                   QObject* parent)
    : QObject(parent), widget_(widget), attribute_(attribute), constant_(constant) {
  apply();
}

void LayoutConstraint::setConstant(double constant) {
  constant_ = std::isfinite(constant) ? constant : 0;
  apply();
}

void LayoutConstraint::animateConstant(AnimationContext& context, double constant) {
  context.animate(this, "constant", constant);
}

// A widget at size 0 is hidden rather than squeezed, so that its contents
// do not insist on their minimum sizes while it is closed.
void LayoutConstraint::apply() {
  if (!widget_ || attribute_ == Attribute::None) return;
  const int size = std::max(0, int(std::lround(constant_)));
  if (attribute_ == Attribute::Width)
    widget_->setFixedWidth(size);
  else
    widget_->setFixedHeight(size);
  widget_->setVisible(size > 0);
}

}  // namespace ui
