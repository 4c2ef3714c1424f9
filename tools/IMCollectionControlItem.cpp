#include "tools/IMCollectionControlItem.h"

namespace {

const int kCenteringWidth = 80;

}  // namespace

IMCollectionControlItem::IMCollectionControlItem(QWidget* parent) : QWidget(parent) {}

QWidget* IMCollectionControlItem::control() const {
  const QList<QWidget*> children = findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
  return children.isEmpty() ? nullptr : children.last();
}

void IMCollectionControlItem::removeAllControls() {
  for (QWidget* child : findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    child->hide();
    child->setParent(keeper_);
  }
}

// Qt's widget frames are y-down, but centring is symmetric, so the origin
// comes out the same as measured from the bottom.
void IMCollectionControlItem::setControl(QWidget* control) {
  removeAllControls();
  if (!control) return;
  const QRect frame = control->geometry();
  control->setParent(this);
  if (frame.width() < kCenteringWidth)
    control->setGeometry((width() - frame.width()) / 2, (height() - frame.height()) / 2,
                         frame.width(), frame.height());
  else
    control->setGeometry(frame);
  control->show();
}
