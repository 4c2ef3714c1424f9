#include "appkit/Popover.h"

#include <QVBoxLayout>

namespace ui {

Popover::Popover(QWidget* content) : QFrame(nullptr, Qt::Popup) {
  setFrameShape(QFrame::StyledPanel);
  setLayout(new QVBoxLayout);
  layout()->setContentsMargins(8, 8, 8, 8);
  if (content) setContentView(content);
}

Popover::~Popover() = default;

void Popover::setContentView(QWidget* content) {
  if (content_) delete content_;
  content_ = content;
  if (content) layout()->addWidget(content);
}

QSize Popover::contentSize() const {
  if (contentSize_.isValid() || !content_) return contentSize_;
  return content_->sizeHint();
}

void Popover::setContentSize(const QSize& size) {
  contentSize_ = size;
  if (!content_) return;
  content_->setFixedSize(size);
  adjustSize();
}

void Popover::showRelativeToRect(const QRect& rect, QWidget* view, RectEdge edge) {
  view_ = view;
  rect_ = rect;
  edge_ = edge;
  if (delegate_) delegate_->popoverWillShow(this);
  adjustSize();
  const QRect anchor(view->mapToGlobal(rect.topLeft()), rect.size());
  move(originBeside(anchor, size(), edge));
  show();
}

QPoint Popover::originBeside(const QRect& anchor, const QSize& size, RectEdge edge) {
  const int middleX = anchor.x() + (anchor.width() - size.width()) / 2;
  const int middleY = anchor.y() + (anchor.height() - size.height()) / 2;
  switch (edge) {
    case MinXEdge:
      return {anchor.x() - size.width(), middleY};
    case MaxXEdge:
      return {anchor.x() + anchor.width(), middleY};
    case MinYEdge:
      return {middleX, anchor.y() - size.height()};
    case MaxYEdge:
      break;
  }
  return {middleX, anchor.y() + anchor.height()};
}

void Popover::performClose(QObject*) { hide(); }

void Popover::hideEvent(QHideEvent* event) {
  QFrame::hideEvent(event);
  if (delegate_) delegate_->popoverWillClose(this);
}

}  // namespace ui
