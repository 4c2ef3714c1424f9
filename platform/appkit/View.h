// A view: a QWidget that is a link of the responder chain, with a frame in
// its superview's coordinates and bounds of its own, both with y growing
// upwards. It draws in drawRect() on a drawing context of the graphics
// layer, the same routine for the screen, a bitmap, a PDF page or a
// printer. The widget covers only the part of the view that its superview
// shows, so a view inside a clip view can be far larger than the screen
// without a widget (or a buffer) of that size.
#pragma once

#include <QCursor>
#include <QMenu>
#include <QPointer>
#include <QRectF>
#include <QRegion>
#include <QStringList>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "appkit/DraggingInfo.h"
#include "appkit/Event.h"
#include "appkit/Responder.h"
#include "graphics/CGImage.h"
#include "graphics/GraphicsContext.h"

class QPainter;
class QTimer;

namespace ui {

class ClipView;
class ScrollView;

// What a tracking area reports to its owner.
enum TrackingAreaOptions : unsigned {
  TrackingMouseEnteredAndExited = 0x01,
  TrackingMouseMoved = 0x02,
  // The area follows the view's visible part, whatever rectangle it was given.
  TrackingInVisibleRect = 0x200,
};

// A part of a view whose owner hears the pointer enter, leave and (on
// request) move over it, with or without a button held.
struct TrackingArea {
  int identifier = 0;
  QRectF rect;  // bounds
  unsigned options = TrackingMouseEnteredAndExited;
  Responder* owner = nullptr;
  bool inside = false;
};

class View : public QWidget, public Responder {
  Q_OBJECT

 public:
  explicit View(const QRectF& frame = {}, QWidget* parent = nullptr);
  ~View() override;

  // ---- Hierarchy ----
  // The nearest enclosing view, or null.
  View* superview() const;
  void addSubview(View* view);
  ScrollView* enclosingScrollView() const;

  // ---- Geometry (y up) ----
  QRectF frame() const { return frame_; }
  QRectF bounds() const { return {boundsOrigin_, frame_.size()}; }
  QPointF boundsOrigin() const { return boundsOrigin_; }
  virtual void setFrame(const QRectF& frame);
  virtual void setFrameOrigin(const QPointF& origin);
  virtual void setFrameSize(const QSizeF& size);
  virtual void setBoundsOrigin(const QPointF& origin);
  // The part of the bounds the view's widget covers now.
  QRectF visibleRect() const { return shown_; }
  // Device pixels per point of the window the view is in.
  double backingScaleFactor() const;

  // ---- Conversions; a null view means the window's coordinates ----
  QPointF convertPointFromView(const QPointF& point, const View* view) const;
  QPointF convertPointToView(const QPointF& point, const View* view) const;
  QRectF convertRectFromView(const QRectF& rect, const View* view) const;
  QRectF convertRectToView(const QRectF& rect, const View* view) const;
  // The event's location in this view's bounds.
  QPointF locationOfEvent(const Event& event) const;
  // Between the widget's pixels (y down) and the bounds.
  QPointF pointFromWidget(const QPointF& widgetPoint) const;
  QPointF pointToWidget(const QPointF& point) const;
  QRectF rectFromWidget(const QRectF& widgetRect) const;
  QRectF rectToWidget(const QRectF& rect) const;

  // ---- Drawing ----
  void setNeedsDisplay(bool needsDisplay = true);
  void setNeedsDisplayInRect(const QRectF& rect);
  // Draws `dirtyRect` (bounds coordinates) into the current graphics context,
  // whose user space is the bounds, clipped to the rectangle.
  virtual void drawRect(const QRectF& dirtyRect);
  virtual bool isOpaque() const { return false; }
  // Draws `rect` of the bounds into `context` as it would appear on screen,
  // the rectangle's origin at the context's origin. No widget or window
  // needs to be shown.
  void displayRectIgnoringOpacity(const QRectF& rect, gfx::GraphicsContext* context);
  // The view's drawing of `rect` as pixels (one per point) or as a
  // one-page PDF document of the rectangle's size.
  gfx::CGImagePtr imageOfRect(const QRectF& rect);
  QByteArray dataWithPDFInsideRect(const QRectF& rect);
  // On screen, draw through an 8-bit premultiplied bitmap the size of the
  // widget, so every compositing operation reads the pixels below it. The
  // bitmap is kept between paints; only the dirty part is drawn.
  void setDrawsThroughBitmap(bool through);
  // Whether drawRect covers its whole dirty rectangle with opaque colour.
  // The window then paints nothing beneath the view, and the view's bitmap
  // is copied to the window rather than blended onto it.
  void setPaintsEveryPixel(bool every) { setAttribute(Qt::WA_OpaquePaintEvent, every); }
  // The bitmap the view draws through, as last given to the screen; null
  // when it draws directly or has not painted yet.
  const QImage* backingBitmap() const;
  // Marks for redraw what the widgets of opaque subviews leave of this view
  // (they draw their own part).
  void setNeedsDisplayAroundOpaqueSubviews();

  // ---- Cursor rectangles ----
  // Adds this view's rectangles with addCursorRect; called on a view whose
  // rectangles were just discarded. Callers that want the set rebuilt call
  // rebuildCursorRects, which replaces the set.
  virtual void resetCursorRects();
  void addCursorRect(const QRectF& rect, const QCursor& cursor);
  void discardCursorRects();
  // Discards the rectangles, asks resetCursorRects for the new set and shows
  // the cursor now under the pointer.
  void rebuildCursorRects();
  const std::vector<std::pair<QRectF, QCursor>>& cursorRects() const { return cursorRects_; }
  // Discards and rebuilds the cursor rectangles of every view in the window
  // of `widget`.
  static void resetCursorRectsOfWindow(QWidget* widget);
  // The cursor over `point` (bounds): the last rectangle added there wins.
  std::optional<QCursor> cursorAtPoint(const QPointF& point) const;

  // ---- Tracking areas ----
  // Returns the area's identifier; the owner must outlive the area.
  int addTrackingArea(const QRectF& rect, unsigned options, Responder* owner);
  void removeTrackingArea(int identifier);
  const std::vector<TrackingArea>& trackingAreas() const { return trackingAreas_; }

  // ---- Scrolling while dragging ----
  // With the pointer of a drag event near or past the edge of the enclosing
  // clip view's visible part, scrolls towards it and returns whether it
  // scrolled. While the button stays down there, the view goes on
  // scrolling: it sends itself the same drag event again every 40 ms.
  bool autoscroll(const Event& event);
  bool isAutoscrolling() const;
  // How close to the visible edge (view points) a pointer starts scrolling.
  static constexpr double kAutoscrollMargin = 12;

  // ---- Contextual menu ----
  // The menu a right click (or the menu key) opens; by default the one set.
  virtual QMenu* menuForEvent(const Event& event);
  QMenu* menu() const;
  void setMenu(QMenu* menu);

  // ---- Gestures from the wheel ----
  // Where the window system sends no touchpad gestures, Ctrl with the wheel
  // (or touchpad scrolling) stands in for them: vertical turns magnify,
  // with Shift they rotate, horizontal ones swipe. Each burst is framed by
  // begin and end gesture events; the end comes when the burst stops.
  void setWheelMakesGestures(bool makes) { wheelMakesGestures_ = makes; }
  bool wheelMakesGestures() const { return wheelMakesGestures_; }
  bool isInWheelGesture() const { return wheelGestureOpen_; }
  // Ends a wheel gesture now rather than when its burst times out.
  void endWheelGesture();

  // ---- Dragging ----
  void registerForDraggedTypes(const QStringList& types);
  void unregisterDraggedTypes();
  QStringList registeredDraggedTypes() const { return draggedTypes_; }
  virtual unsigned draggingEntered(DraggingInfo& info);
  virtual unsigned draggingUpdated(DraggingInfo& info);
  virtual void draggingExited();
  virtual bool prepareForDragOperation(DraggingInfo& info);
  virtual bool performDragOperation(DraggingInfo& info);
  virtual void concludeDragOperation(DraggingInfo& info);
  // Begins dragging the items of `pasteboard`, showing `image`; returns the
  // operation the destination performed.
  unsigned dragImage(const QImage& image, const Pasteboard& pasteboard, unsigned allowedOperations);

  bool acceptsFirstResponder() const override { return false; }

 protected:
  bool event(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dragLeaveEvent(QDragLeaveEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  // The frame changed; subclasses of clip views hear the document's changes.
  virtual void frameDidChange() {}
  // Places the subviews' widgets after this view's frame, bounds or visible
  // part changed; `scrolled` when only the bounds origin moved.
  void layoutSubviews(bool scrolled = false);
  // Widget pixels asked to be drawn again, outside setNeedsDisplay's rectangles.
  void setNeedsDisplayInWidgetRect(const QRect& area);
  // The part of the widget whose bitmap a scroll moved into place and
  // nothing asked to redraw since: the next paint copies it as it is.
  QRegion keptByScroll() const;
  // The backing bitmap's pixels moved by `shift` widget points (x right,
  // y down), `pixels` of the bitmap, as the superview scrolled.
  virtual void backingDidScroll(const QPoint& shift, const QPoint& pixels) {
    (void)shift, (void)pixels;
  }

 private:
  // The screen's copy of the widget's pixels when drawing goes through a bitmap.
  struct Backing {
    std::unique_ptr<gfx::GraphicsContext> bitmap;
    bool valid = false;
    // Since the last paint: asked to be drawn again (widget points)...
    QRegion asked;
    // ...and, after a scroll, still right where the scroll moved it.
    bool scrolled = false;
    QRegion kept;
  };
  void layoutInSuperview(bool superviewScrolled = false);
  void invalidateBacking();
  void markAsked(const QRegion& area);
  // Moves the valid bitmap with the visible part, from `shownBefore`; false
  // when it cannot (not whole pixels, nothing left to keep).
  bool scrollBacking(const QRectF& shownBefore);
  bool prepareBacking();
  void drawIntoBacking(const QRect& area);
  void copyBackingToScreen(QPainter& painter, const QRect& area);
  void drawInto(gfx::GraphicsContext* context, const QRectF& dirty, const QPointF& origin);
  void dispatch(Event& event);
  void updateCursor(const QPointF& widgetPoint);
  void updateTrackingAreas(const QPointF& widgetPoint, const Event& event, bool left);
  void repeatAutoscroll();
  bool wheelGesture(const QEvent& event);
  void sendWheelGestureEvent(EventType type, const Event& from);
  std::unique_ptr<Pasteboard> dropPasteboard(const QDropEvent& event) const;
  DraggingInfo draggingInfo(const QDropEvent& event, Pasteboard& pasteboard) const;

  QRectF frame_;
  QPointF boundsOrigin_;
  QRectF shown_;
  bool placingWidget_ = false;
  bool drawsThroughBitmap_ = false;
  std::unique_ptr<Backing> backing_;
  std::vector<std::pair<QRectF, QCursor>> cursorRects_;
  std::vector<TrackingArea> trackingAreas_;
  int nextTrackingArea_ = 1;
  bool leftButtonDown_ = false;
  QTimer* autoscrollTimer_ = nullptr;
  std::unique_ptr<Event> autoscrollEvent_;
  QPointer<QMenu> menu_;
  bool wheelMakesGestures_ = false;
  bool wheelGestureOpen_ = false;
  bool wheelSwipeSent_ = false;
  QTimer* wheelGestureTimer_ = nullptr;
  QStringList draggedTypes_;
  unsigned lastDragOperation_ = DragOperationNone;
};

}  // namespace ui
