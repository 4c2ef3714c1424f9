#include "appkit/View.h"

#include <QResizeEvent>

#include "appkit/ClipView.h"
#include "appkit/ScrollView.h"

namespace ui {

View::View(const QRectF& frame, QWidget* parent)
    : QWidget(parent), frame_(frame), shown_(QPointF(0, 0), frame.size()) {
  if (superview()) layoutInSuperview();
  for (QWidget* above = parentWidget(); above; above = above->parentWidget())
    if (auto* responder = dynamic_cast<Responder*>(above)) {
      setNextResponder(responder);
      break;
    }
}

View* View::superview() const { return qobject_cast<View*>(parentWidget()); }

void View::addSubview(View* view) {
  view->setParent(this);
  view->setNextResponder(this);
  view->layoutInSuperview();
  view->show();
}

ScrollView* View::enclosingScrollView() const {
  for (QWidget* above = parentWidget(); above; above = above->parentWidget())
    if (auto* scrollView = qobject_cast<ScrollView*>(above)) return scrollView;
  return nullptr;
}

double View::backingScaleFactor() const { return devicePixelRatioF(); }

void View::setFrame(const QRectF& frame) {
  const bool resized = frame.size() != frame_.size();
  frame_ = frame;
  if (superview())
    layoutInSuperview();
  else
    shown_ = QRectF(boundsOrigin_, QSizeF(size()));
  if (resized) discardCursorRects(), resetCursorRects();
  frameDidChange();
  layoutSubviews();
  if (auto* clip = qobject_cast<ClipView*>(parentWidget()); clip && clip->documentView() == this)
    clip->viewFrameChanged();
}

void View::setFrameOrigin(const QPointF& origin) { setFrame(QRectF(origin, frame_.size())); }

void View::setFrameSize(const QSizeF& size) {
  setFrame(QRectF(frame_.x(), frame_.y(), size.width(), size.height()));
}

void View::setBoundsOrigin(const QPointF& origin) {
  if (origin == boundsOrigin_) return;
  const QPointF moved = origin - boundsOrigin_;
  boundsOrigin_ = origin;
  shown_.translate(moved);
  invalidateBacking();
  // Subviews moved with the bounds redraw (or move) their own part.
  layoutSubviews(true);
  setNeedsDisplayAroundOpaqueSubviews();
  if (auto* clip = qobject_cast<ClipView*>(parentWidget()); clip && clip->documentView() == this)
    clip->viewBoundsChanged();
}

// The widget covers the part of the frame the superview shows, on whole
// pixels of the superview's widget; the visible part follows from them.
void View::layoutInSuperview(bool superviewScrolled) {
  View* super = superview();
  if (!super) return;
  const QRectF shownBefore = shown_;
  const QRect placedBefore = geometry();
  const QRectF visible = frame_.intersected(super->shown_);
  QRect widgetRect;
  if (!visible.isEmpty())
    widgetRect = super->rectToWidget(visible).toAlignedRect().intersected(super->rect());
  const QRectF shownInSuper = super->rectFromWidget(QRectF(widgetRect));
  shown_ = QRectF(shownInSuper.x() - frame_.x() + boundsOrigin_.x(),
                  shownInSuper.y() - frame_.y() + boundsOrigin_.y(), shownInSuper.width(),
                  shownInSuper.height());
  if (widgetRect.isEmpty()) shown_ = QRectF();
  placingWidget_ = true;
  setGeometry(widgetRect);
  placingWidget_ = false;
  // Only a scroll of the superview keeps what the view drew; a new frame
  // may draw anything anew.
  if (!(superviewScrolled && widgetRect == placedBefore && scrollBacking(shownBefore))) {
    invalidateBacking();
    update();
  }
  layoutSubviews(superviewScrolled);
}

void View::layoutSubviews(bool scrolled) {
  for (QObject* child : children())
    if (auto* view = qobject_cast<View*>(child)) view->layoutInSuperview(scrolled);
}

void View::setNeedsDisplayAroundOpaqueSubviews() {
  QRegion around(rect());
  for (QObject* child : children())
    if (auto* view = qobject_cast<View*>(child);
        view && view->isVisible() && view->testAttribute(Qt::WA_OpaquePaintEvent))
      around -= view->geometry();
  if (!around.isEmpty()) update(around);
}

void View::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  if (placingWidget_ || superview()) return;
  // Placed by a layout, a scroll area or the window: the frame follows.
  shown_ = QRectF(boundsOrigin_, QSizeF(size()));
  invalidateBacking();
  if (QSizeF(size()) != frame_.size())
    setFrameSize(QSizeF(size()));
  else
    layoutSubviews();
}

QPointF View::pointToWidget(const QPointF& p) const {
  return {p.x() - shown_.x(), shown_.y() + shown_.height() - p.y()};
}

QPointF View::pointFromWidget(const QPointF& w) const {
  return {shown_.x() + w.x(), shown_.y() + shown_.height() - w.y()};
}

QRectF View::rectToWidget(const QRectF& r) const {
  return {r.x() - shown_.x(), shown_.y() + shown_.height() - r.y() - r.height(), r.width(),
          r.height()};
}

QRectF View::rectFromWidget(const QRectF& w) const {
  return {shown_.x() + w.x(), shown_.y() + shown_.height() - w.y() - w.height(), w.width(),
          w.height()};
}

// Up the chain of superviews by frames and bounds, so points far outside
// what the widgets show convert as well; the outermost view's widget, which
// covers its bounds, links to the window.
QPointF View::convertPointToView(const QPointF& point, const View* view) const {
  QPointF p = point;
  const View* v = this;
  for (; v->superview(); v = v->superview())
    p += QPointF(v->frame_.x(), v->frame_.y()) - v->boundsOrigin_;
  const QWidget* window = v->window();
  const QPointF inWindow = v->mapTo(window, v->pointToWidget(p));
  const QPointF windowPoint(inWindow.x(), window->height() - inWindow.y());
  return view ? view->convertPointFromView(windowPoint, nullptr) : windowPoint;
}

QPointF View::convertPointFromView(const QPointF& point, const View* view) const {
  const QPointF windowPoint = view ? view->convertPointToView(point, nullptr) : point;
  std::vector<const View*> chain;
  for (const View* v = this; v; v = v->superview()) chain.push_back(v);
  const View* top = chain.back();
  const QWidget* window = top->window();
  QPointF p = top->pointFromWidget(
      top->mapFrom(window, QPointF(windowPoint.x(), window->height() - windowPoint.y())));
  for (auto v = chain.rbegin() + 1; v != chain.rend(); ++v)
    p += (*v)->boundsOrigin_ - QPointF((*v)->frame_.x(), (*v)->frame_.y());
  return p;
}

QRectF View::convertRectToView(const QRectF& rect, const View* view) const {
  return {convertPointToView({rect.x(), rect.y()}, view), rect.size()};
}

QRectF View::convertRectFromView(const QRectF& rect, const View* view) const {
  return {convertPointFromView({rect.x(), rect.y()}, view), rect.size()};
}

QPointF View::locationOfEvent(const Event& event) const {
  return convertPointFromView(event.locationInWindow(), nullptr);
}

}  // namespace ui
