// A scroll view: a QAbstractScrollArea whose viewport is a clip view. The
// scroll bars model the document view's frame against the clip view's
// bounds, so the document may be any size without a widget that large.
#pragma once

#include <QAbstractScrollArea>
#include <QColor>

namespace ui {

class ClipView;
class View;

class ScrollView : public QAbstractScrollArea {
  Q_OBJECT

 public:
  explicit ScrollView(QWidget* parent = nullptr);
  ~ScrollView() override;

  ClipView* contentView() const { return clip_; }
  // Replaces the clip view (the scroll view owns it); the document view
  // moves into the new one.
  void setContentView(ClipView* clip);
  View* documentView() const;
  void setDocumentView(View* view);
  // The part of the document view shown, in its coordinates.
  QRectF documentVisibleRect() const;
  // Brings the scroll bars in line with the clip view's position and the
  // document's size.
  void reflectScrolledClipView(ClipView* clip);

  QColor backgroundColor() const;
  void setBackgroundColor(const QColor& color);

 protected:
  bool viewportEvent(QEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;

 private:
  ClipView* clip_ = nullptr;
  bool reflecting_ = false;
};

}  // namespace ui
