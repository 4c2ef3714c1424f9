#include "appkit/ClipView.h"

#include <algorithm>
#include <cmath>

#include "appkit/ScrollView.h"
#include "graphics/GraphicsContext.h"

namespace ui {

namespace {
// Points scrolled per line of a wheel.
constexpr double kLineScroll = 40;
}  // namespace

ClipView::ClipView(const QRectF& frame, QWidget* parent) : View(frame, parent) {
  setAutoFillBackground(false);
}

void ClipView::setDocumentView(View* view) {
  if (view == documentView_) return;
  if (documentView_) documentView_->setParent(nullptr);
  documentView_ = view;
  if (view) addSubview(view);
  viewFrameChanged();
}

QRectF ClipView::documentRect() const { return documentView_ ? documentView_->frame() : QRectF(); }

QRectF ClipView::documentVisibleRect() const {
  if (!documentView_) return {};
  const QRectF visible = bounds().intersected(documentView_->frame());
  return convertRectToView(visible, documentView_);
}

QPointF ClipView::constrainScrollPoint(const QPointF& proposed) const {
  const QRectF document = documentRect();
  const QSizeF clip = bounds().size();
  const double x = std::max(std::min(proposed.x(), document.width() - clip.width()), 0.0);
  const double y = std::max(std::min(proposed.y(), document.height() - clip.height()), 0.0);
  return {std::round(x), std::round(y)};
}

void ClipView::scrollToPoint(const QPointF& point) { setBoundsOrigin(constrainScrollPoint(point)); }

void ClipView::setBoundsOrigin(const QPointF& origin) {
  if (origin == boundsOrigin()) return;
  View::setBoundsOrigin(origin);
  if (ScrollView* scrollView = enclosingScrollView()) scrollView->reflectScrolledClipView(this);
}

void ClipView::viewBoundsChanged() {}

void ClipView::viewFrameChanged() {
  scrollToPoint(boundsOrigin());
  if (ScrollView* scrollView = enclosingScrollView()) scrollView->reflectScrolledClipView(this);
}

void ClipView::frameDidChange() {
  scrollToPoint(boundsOrigin());
  if (ScrollView* scrollView = enclosingScrollView()) scrollView->reflectScrolledClipView(this);
}

void ClipView::setBackgroundColor(const QColor& color) {
  backgroundColor_ = color;
  update();
}

void ClipView::drawRect(const QRectF& dirtyRect) {
  gfx::GraphicsContext::current()->fillRect(dirtyRect, backgroundColor_,
                                            gfx::CompositingOperation::Copy);
}

void ClipView::scrollWheel(Event& event) {
  const QPointF origin = boundsOrigin();
  scrollToPoint(
      {origin.x() - event.deltaX() * kLineScroll, origin.y() + event.deltaY() * kLineScroll});
}

}  // namespace ui
