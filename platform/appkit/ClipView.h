// The view a scroll view shows its document through: its bounds origin is
// the scroll position in the document view's coordinates (y up), its size
// the visible area. It is the scroll area's viewport widget; the document
// view's widget covers only the part inside it.
#pragma once

#include <QColor>

#include "appkit/View.h"

namespace ui {

class ClipView : public View {
  Q_OBJECT

 public:
  explicit ClipView(const QRectF& frame = {}, QWidget* parent = nullptr);

  View* documentView() const { return documentView_; }
  // Takes `view` in (reparenting it) in place of the current document view,
  // which is given back to the caller without a parent.
  void setDocumentView(View* view);
  // The document view's frame, and the part of it this clip view shows (in
  // the document view's coordinates).
  QRectF documentRect() const;
  QRectF documentVisibleRect() const;

  // A proposed bounds origin made valid: by default clamped so the clip
  // stays inside the document.
  virtual QPointF constrainScrollPoint(const QPointF& proposed) const;
  // Scrolls to the constrained point.
  void scrollToPoint(const QPointF& point);
  void setBoundsOrigin(const QPointF& origin) override;

  // The document view's bounds or frame changed.
  virtual void viewBoundsChanged();
  virtual void viewFrameChanged();

  QColor backgroundColor() const { return backgroundColor_; }
  void setBackgroundColor(const QColor& color);
  bool isOpaque() const override { return true; }
  void drawRect(const QRectF& dirtyRect) override;
  // Scrolls by the wheel's lines.
  void scrollWheel(Event& event) override;

 protected:
  // A new size keeps the origin valid and the scroll bars in line.
  void frameDidChange() override;

 private:
  View* documentView_ = nullptr;
  QColor backgroundColor_ = QColor::fromRgbF(0.5, 0.5, 0.5);
};

}  // namespace ui
