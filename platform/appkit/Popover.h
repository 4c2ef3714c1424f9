// A popover: a small transient panel beside a rectangle of a view, on one
// of its four edges, with an arrow pointing at the rectangle, closed by a
// click elsewhere, by Escape or by its owner. Backed by a QFrame shown as a
// Qt popup; its delegate hears when it is about to show and when it is
// about to close, whichever way it closes. It stays on the screen: an edge
// without room gives way to the opposite one, and the panel slides along
// the edge rather than leave the screen.
#pragma once

#include <QFrame>
#include <QPainterPath>
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
  // Transient closes at a click anywhere else; semi-transient stays open
  // while the user works in the window below (moving a slider and looking
  // at the canvas) and closes with Escape, its owner or a click in another
  // program's window.
  enum Behavior { Transient, SemiTransient };
  Behavior behavior() const { return behavior_; }
  void setBehavior(Behavior behavior);

  // Opens beside `rect` (in `view`'s coordinates), on `edge` when there is
  // room for it on the screen.
  void showRelativeToRect(const QRect& rect, QWidget* view, RectEdge edge);
  bool isShown() const { return isVisible(); }
  // The edge it opened on.
  RectEdge shownEdge() const { return edge_; }
  // Where the arrow's tip is, in the popover's coordinates.
  QPoint arrowTip() const;
  QWidget* positioningView() const { return view_; }
  QRect positioningRect() const { return rect_; }
  void performClose(QObject* sender);

  // Where a popover of `size` goes beside the global rectangle `anchor`.
  static QPoint originBeside(const QRect& anchor, const QSize& size, RectEdge edge);
  // The edge a popover of `size` opens on beside `anchor` within `screen`:
  // `preferred` when it fits there, else the opposite edge when that fits,
  // else whichever of the two has more room.
  static RectEdge edgeWithRoom(const QRect& anchor, const QSize& size, RectEdge preferred,
                               const QRect& screen);
  // The origin beside `anchor` on `edge`, moved onto `screen`.
  static QPoint originOnScreen(const QRect& anchor, const QSize& size, RectEdge edge,
                               const QRect& screen);

  // The length of the arrow, from the panel's side to its tip.
  static constexpr int kArrowLength = 9;

 protected:
  void hideEvent(QHideEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  bool event(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  QWidget* content_ = nullptr;
  QSize contentSize_;
  PopoverDelegate* delegate_ = nullptr;
  Behavior behavior_ = Transient;
  QPointer<QWidget> view_;
  QRect rect_;
  RectEdge edge_ = MaxYEdge, preferredEdge_ = MaxYEdge;
  // Where the arrow meets its side, along that side.
  int arrowOffset_ = 0;

  // Places the open popover beside its anchor, on the screen.
  void place();
  // The margins that leave room for the arrow on the side facing the anchor.
  void updateMargins();
  // The panel's outline: the body and the arrow on its side.
  QPolygon outline() const;
  QPainterPath outline(const QRectF& bounds) const;
};

}  // namespace ui
