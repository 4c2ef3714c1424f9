#include "appkit/ScrollView.h"

#include <QEvent>
#include <QScrollBar>
#include <algorithm>
#include <cmath>

#include "appkit/ClipView.h"

namespace ui {

ScrollView::ScrollView(QWidget* parent) : QAbstractScrollArea(parent) {
  setContentView(new ClipView);
}

ScrollView::~ScrollView() = default;

void ScrollView::setContentView(ClipView* clip) {
  if (!clip || clip == clip_) return;
  View* document = clip_ ? clip_->documentView() : nullptr;
  if (document) clip_->setDocumentView(nullptr);
  if (clip_) clip->setBackgroundColor(clip_->backgroundColor());
  clip_ = clip;
  setViewport(clip);  // deletes the previous clip view
  clip->setFrame(QRectF(QPointF(0, 0), QSizeF(viewport()->size())));
  if (document) clip->setDocumentView(document);
  reflectScrolledClipView(clip);
}

View* ScrollView::documentView() const { return clip_->documentView(); }

void ScrollView::setDocumentView(View* view) { clip_->setDocumentView(view); }

QRectF ScrollView::documentVisibleRect() const { return clip_->documentVisibleRect(); }

QColor ScrollView::backgroundColor() const { return clip_->backgroundColor(); }

void ScrollView::setBackgroundColor(const QColor& color) { clip_->setBackgroundColor(color); }

// Scroll bar values are whole points; the vertical one counts from the top
// of the document, where a y-up origin counts from its bottom.
void ScrollView::reflectScrolledClipView(ClipView* clip) {
  if (clip != clip_ || reflecting_) return;
  reflecting_ = true;
  const QRectF document = clip->documentRect();
  const QRectF shown = clip->bounds();
  const int spanX = std::max(0, int(std::ceil(document.width() - shown.width())));
  const int spanY = std::max(0, int(std::ceil(document.height() - shown.height())));
  horizontalScrollBar()->setRange(0, spanX);
  horizontalScrollBar()->setPageStep(int(shown.width()));
  horizontalScrollBar()->setValue(int(std::lround(shown.x() - document.x())));
  verticalScrollBar()->setRange(0, spanY);
  verticalScrollBar()->setPageStep(int(shown.height()));
  verticalScrollBar()->setValue(int(std::lround(spanY - (shown.y() - document.y()))));
  reflecting_ = false;
}

void ScrollView::scrollContentsBy(int, int) {
  if (reflecting_) return;
  const QRectF document = clip_->documentRect();
  const int spanY = verticalScrollBar()->maximum();
  reflecting_ = true;
  clip_->scrollToPoint({document.x() + horizontalScrollBar()->value(),
                        document.y() + spanY - verticalScrollBar()->value()});
  reflecting_ = false;
}

// The clip view paints itself and sees the mouse and the wheel through the
// responder chain; the scroll area only lays it out.
bool ScrollView::viewportEvent(QEvent* event) {
  switch (event->type()) {
    case QEvent::Paint:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::Wheel:
    case QEvent::Resize:
      return false;
    default:
      return QAbstractScrollArea::viewportEvent(event);
  }
}

}  // namespace ui
