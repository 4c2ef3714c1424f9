#include "appkit/Popover.h"

#include <QApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QVBoxLayout>
#include <algorithm>

namespace ui {

namespace {

constexpr int kMargin = 8;

bool isHorizontal(RectEdge edge) { return edge == MinXEdge || edge == MaxXEdge; }

RectEdge opposite(RectEdge edge) {
  switch (edge) {
    case MinXEdge:
      return MaxXEdge;
    case MaxXEdge:
      return MinXEdge;
    case MinYEdge:
      return MaxYEdge;
    case MaxYEdge:
      break;
  }
  return MinYEdge;
}

// Room between the anchor's `edge` and the screen's border beyond it.
int roomBeside(const QRect& anchor, RectEdge edge, const QRect& screen) {
  switch (edge) {
    case MinXEdge:
      return anchor.x() - screen.x();
    case MaxXEdge:
      return screen.x() + screen.width() - (anchor.x() + anchor.width());
    case MinYEdge:
      return anchor.y() - screen.y();
    case MaxYEdge:
      break;
  }
  return screen.y() + screen.height() - (anchor.y() + anchor.height());
}

int clampInto(int origin, int extent, int low, int room) {
  return std::max(low, std::min(origin, low + room - extent));
}

QRect screenOf(const QRect& anchor, QWidget* view) {
  QScreen* screen = QGuiApplication::screenAt(anchor.center());
  if (!screen && view) screen = view->screen();
  if (!screen) screen = QGuiApplication::primaryScreen();
  return screen ? screen->availableGeometry() : QRect();
}

}  // namespace

Popover::Popover(QWidget* content) : QFrame(nullptr, Qt::Popup) {
  setFrameShape(QFrame::NoFrame);
  setLayout(new QVBoxLayout);
  updateMargins();
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
  if (isVisible())
    place();
  else
    adjustSize();
}

void Popover::updateMargins() {
  QMargins margins(kMargin, kMargin, kMargin, kMargin);
  switch (edge_) {
    case MinXEdge:
      margins.setRight(kMargin + kArrowLength);
      break;
    case MaxXEdge:
      margins.setLeft(kMargin + kArrowLength);
      break;
    case MinYEdge:
      margins.setBottom(kMargin + kArrowLength);
      break;
    case MaxYEdge:
      margins.setTop(kMargin + kArrowLength);
      break;
  }
  layout()->setContentsMargins(margins);
}

void Popover::showRelativeToRect(const QRect& rect, QWidget* view, RectEdge edge) {
  view_ = view;
  rect_ = rect;
  preferredEdge_ = edge;
  edge_ = edge;
  if (delegate_) delegate_->popoverWillShow(this);
  place();
  show();
}

// On the preferred edge if the screen has room there, beside the anchor,
// the arrow pointing at the middle of the anchor's side as nearly as the
// panel's own side allows.
void Popover::place() {
  if (!view_) return;
  edge_ = preferredEdge_;
  updateMargins();
  adjustSize();
  const QRect anchor(view_->mapToGlobal(rect_.topLeft()), rect_.size());
  const QRect screen = screenOf(anchor, view_);
  if (screen.isValid()) edge_ = edgeWithRoom(anchor, size(), preferredEdge_, screen);
  updateMargins();
  adjustSize();
  const QPoint origin = screen.isValid() ? originOnScreen(anchor, size(), edge_, screen)
                                         : originBeside(anchor, size(), edge_);
  const int inset = kArrowLength + 4;
  const int extent = isHorizontal(edge_) ? height() : width();
  const int middle =
      isHorizontal(edge_) ? anchor.center().y() - origin.y() : anchor.center().x() - origin.x();
  arrowOffset_ = std::clamp(middle, inset, std::max(inset, extent - inset));
  // The panel itself at the origin, whatever frame the platform adds.
  setGeometry(QRect(origin, size()));
  setMask(QRegion(outline()));
}

QPoint Popover::arrowTip() const {
  switch (edge_) {
    case MinXEdge:
      return {width(), arrowOffset_};
    case MaxXEdge:
      return {0, arrowOffset_};
    case MinYEdge:
      return {arrowOffset_, height()};
    case MaxYEdge:
      break;
  }
  return {arrowOffset_, 0};
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

RectEdge Popover::edgeWithRoom(const QRect& anchor, const QSize& size, RectEdge preferred,
                               const QRect& screen) {
  const int needed = isHorizontal(preferred) ? size.width() : size.height();
  const int room = roomBeside(anchor, preferred, screen);
  if (room >= needed) return preferred;
  const RectEdge other = opposite(preferred);
  const int otherRoom = roomBeside(anchor, other, screen);
  return otherRoom >= needed || otherRoom > room ? other : preferred;
}

QPoint Popover::originOnScreen(const QRect& anchor, const QSize& size, RectEdge edge,
                               const QRect& screen) {
  const QPoint beside = originBeside(anchor, size, edge);
  return {clampInto(beside.x(), size.width(), screen.x(), screen.width()),
          clampInto(beside.y(), size.height(), screen.y(), screen.height())};
}

// The body inside `bounds` less the arrow's length on the arrow's side, and
// the arrow from that side to the tip.
QPainterPath Popover::outline(const QRectF& bounds) const {
  const QPointF tip = QPointF(arrowTip()) + bounds.topLeft() - QPointF(rect().topLeft());
  const QPointF far = bounds.bottomRight();
  QRectF body = bounds;
  QPointF base1, base2;
  const double half = kArrowLength;
  switch (edge_) {
    case MinXEdge:
      body.setRight(far.x() - kArrowLength);
      base1 = {body.right(), tip.y() - half}, base2 = {body.right(), tip.y() + half};
      break;
    case MaxXEdge:
      body.setLeft(bounds.left() + kArrowLength);
      base1 = {body.left(), tip.y() - half}, base2 = {body.left(), tip.y() + half};
      break;
    case MinYEdge:
      body.setBottom(far.y() - kArrowLength);
      base1 = {tip.x() - half, body.bottom()}, base2 = {tip.x() + half, body.bottom()};
      break;
    case MaxYEdge:
      body.setTop(bounds.top() + kArrowLength);
      base1 = {tip.x() - half, body.top()}, base2 = {tip.x() + half, body.top()};
      break;
  }
  QPainterPath path;
  path.addRect(body);
  path.addPolygon(QPolygonF({base1, tip, base2}));
  return path.simplified();
}

QPolygon Popover::outline() const { return outline(QRectF(rect())).toFillPolygon().toPolygon(); }

// The border runs along the middle of the outermost pixels, inside the mask.
void Popover::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  const QPainterPath path = outline(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5));
  painter.fillPath(path, palette().window());
  painter.setPen(QPen(palette().color(QPalette::Dark), 1));
  painter.drawPath(path);
}

void Popover::resizeEvent(QResizeEvent* event) {
  QFrame::resizeEvent(event);
  if (isVisible()) setMask(QRegion(outline()));
}

void Popover::performClose(QObject*) { hide(); }

// A tool window rides above its parent without grabbing the mouse, so the
// window below keeps working while the popover is open.
void Popover::setBehavior(Behavior behavior) {
  if (behavior == behavior_) return;
  behavior_ = behavior;
  const bool shown = isVisible();
  setWindowFlags(behavior == SemiTransient ? Qt::Tool | Qt::FramelessWindowHint : Qt::Popup);
  setAttribute(Qt::WA_ShowWithoutActivating, behavior == SemiTransient);
  if (shown) show();
}

void Popover::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape) return performClose(this);
  QFrame::keyPressEvent(event);
}

// Another program taking the focus ends a semi-transient popover, as a
// click outside ends a transient one.
bool Popover::event(QEvent* event) {
  if (behavior_ == SemiTransient && event->type() == QEvent::WindowDeactivate &&
      !QApplication::activeWindow() && isVisible())
    performClose(this);
  return QFrame::event(event);
}

void Popover::hideEvent(QHideEvent* event) {
  QFrame::hideEvent(event);
  if (delegate_) delegate_->popoverWillClose(this);
}

}  // namespace ui
