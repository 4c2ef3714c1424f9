// A popover: a small transient panel beside a rectangle of a view, on one
// of its four edges, closed by a click elsewhere or by its owner. Backed by
// a QFrame shown as a Qt popup; its delegate hears when it is about to show
// and when it is about to close, whichever way it closes.
#pragma once

#include <QFrame>
#include <QPointer>
#include <QRect>

class QObject;

namespace ui {

class Popover;

// Edges as the positioning view's own coordinates name them. Qt's widgets
// count y downwards, as flipped views do, so MinY is the top edge.
enum RectEdge { MinXEdge = 0, MinYEdge = 1, MaxXEdge = 2, MaxYEdge = 3 };

class PopoverDelegate {
 public:
  virtual ~PopoverDelegate() = default;
  // Before the popover is placed: its content size may still change.
  virtual void popoverWillShow(Popover*) {}
  virtual void popoverWillClose(Popover* popover) = 0;
};

class Popover : public QFrame {
 public:
  explicit Popover(QWidget* content = nullptr);
  ~Popover() override;

  void setContentView(QWidget* content);
  QWidget* contentView() const { return content_; }
  // The size of the content view: as set, else what its layout asks for.
  QSize contentSize() const;
  // Fixes the content view's size; an open popover grows or shrinks at once.
  void setContentSize(const QSize& size);
  void setDelegate(PopoverDelegate* delegate) { delegate_ = delegate; }

  // Opens beside `rect` (in `view`'s coordinates), on `edge`.
  void showRelativeToRect(const QRect& rect, QWidget* view, RectEdge edge);
  bool isShown() const { return isVisible(); }
  RectEdge shownEdge() const { return edge_; }
  QWidget* positioningView() const { return view_; }
  QRect positioningRect() const { return rect_; }
  void performClose(QObject* sender);

  // Where a popover of `size` goes beside the global rectangle `anchor`.
  static QPoint originBeside(const QRect& anchor, const QSize& size, RectEdge edge);

 protected:
  void hideEvent(QHideEvent* event) override;

 private:
  QWidget* content_ = nullptr;
  QSize contentSize_;
  PopoverDelegate* delegate_ = nullptr;
  QPointer<QWidget> view_;
  QRect rect_;
  RectEdge edge_ = MaxYEdge;
};

}  // namespace ui
