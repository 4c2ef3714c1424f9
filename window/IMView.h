// The document canvas: a view that owns no document data. It draws through
// its drawing delegate, takes its size and zoom from its size delegate,
// hands every mouse, gesture and key event to its responder delegate with a
// fallback to its own handling, and passes drops to a dragging destination.
// View coordinates are document coordinates scaled by zoom / backing scale
// factor, so zoom 1 shows one document pixel per device pixel.
#pragma once

#include <QStringList>
#include <QVariant>
#include <atomic>

#include "appkit/View.h"
#include "graphics/AffineTransform.h"
#include "window/CanvasDocumentCache.h"
#include "window/IMViewDrawingDelegate.h"
#include "window/IMViewResponderDelegate.h"
#include "window/IMViewSizeDelegate.h"

namespace ui {
class ClipView;
}

class IMView : public ui::View {
  Q_OBJECT

 public:
  explicit IMView(const QRectF& frame = {}, QWidget* parent = nullptr);

  IMViewDrawingDelegate* drawingDelegate() const { return drawingDelegate_; }
  void setDrawingDelegate(IMViewDrawingDelegate* delegate) { drawingDelegate_ = delegate; }
  IMViewSizeDelegate* sizeDelegate() const { return sizeDelegate_; }
  void setSizeDelegate(IMViewSizeDelegate* delegate) { sizeDelegate_ = delegate; }
  IMViewResponderDelegate* redirectResponder() const { return redirectResponder_.load(); }
  void setRedirectResponder(IMViewResponderDelegate* responder) { redirectResponder_ = responder; }
  ui::DraggingDestination* redirectDraggingDestination() const { return draggingDestination_; }
  void setRedirectDraggingDestination(ui::DraggingDestination* destination) {
    draggingDestination_ = destination;
  }
  // Clean mode (PDF, printing): no zoom, no grid, no overlays.
  bool forceCleanDrawing() const { return forceCleanDrawing_; }
  void setForceCleanDrawing(bool clean);
  // In clean mode, a white background instead of a clear one.
  bool noAlphaWhenForceCleanDrawing() const { return noAlphaWhenForceCleanDrawing_; }
  void setNoAlphaWhenForceCleanDrawing(bool noAlpha);
  // The view point the next zoom keeps fixed; the zero point means the
  // centre of the visible area.
  QPointF zoomPoint() const { return zoomPoint_; }
  void setZoomPoint(const QPointF& point) { zoomPoint_ = point; }

  // Bindings: "width" and "height" follow the document size; setting either
  // (whatever the value) resizes the view, and both read as 0.
  static QStringList exposedBindings() { return {"width", "height"}; }
  QVariant valueForKey(const QString& key) const;
  void setValue(const QVariant& value, const QString& key);

  // ---- Geometry ----
  gfx::AffineTransform transformation() const;
  QRectF zoomededRect(const QRectF& rect, bool inversed) const;
  QRectF transformRectFromDocumentToView(const QRectF& rect) const;
  QRectF transformRectFromViewToDocument(const QRectF& rect) const;
  // Sizes the view to the zoomed document rectangle, unless it already has that size.
  void updateFrame();
  QPointF centralVisibleViewPointInViewCoordinates() const;
  void centerClipViewOnPoint(const QPointF& point);
  void changeClipViewOriginWithNewZoomFactor(double zoomFactor, const QPointF& point);
  void changeClipViewOriginWithActuelZoomFactorCentered(double oldZoomFactor, double newZoomFactor);

  // Reads "IMShowDrawingGrid", writing YES when it is absent.
  static bool showsGrid();

  // ---- Drawing and responding ----
  // Redraws `rect` (view coordinates) where only the overlays changed: the
  // document under it comes from the copy the canvas last composed.
  void setNeedsDisplayOfOverlaysInRect(const QRectF& rect);
  // As the view's own, and the document there is composed again.
  void setNeedsDisplay(bool needsDisplay = true);
  void setNeedsDisplayInRect(const QRectF& rect);
  // Redraws `rect` (view coordinates) where only the layer a stroke paints
  // changed: the layers below it come from the copy kept for the stroke.
  void setNeedsDisplayOfStrokeInRect(const QRectF& rect);
  void drawRect(const QRectF& dirtyRect) override;
  bool isOpaque() const override;
  bool acceptsFirstResponder() const override { return true; }
  void resetCursorRects() override;
  unsigned draggingEntered(ui::DraggingInfo& info) override;
  bool performDragOperation(ui::DraggingInfo& info) override;

  void mouseDown(ui::Event& event) override;
  void mouseUp(ui::Event& event) override;
  void mouseDragged(ui::Event& event) override;
  void beginGestureWithEvent(ui::Event& event) override;
  void endGestureWithEvent(ui::Event& event) override;
  void rotateWithEvent(ui::Event& event) override;
  void magnifyWithEvent(ui::Event& event) override;
  void swipeWithEvent(ui::Event& event) override;
  void keyDown(ui::Event& event) override;
  void keyUp(ui::Event& event) override;
  void flagsChanged(ui::Event& event) override;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void backingDidScroll(const QPoint& shift, const QPoint& pixels) override;

 private:
  // Background, grid and the delegate's document, in document space.
  void drawDocument(const QRectF& dirtyRect, const QRectF& drawingRect,
                    const gfx::AffineTransform& transform, bool disableInterpolation);
  void drawGrid(const QRectF& drawingRect);
  void drawMagnifiedDocument(const QRectF& drawingRect);
  CanvasDocumentCache::Setup cacheSetup(bool interpolation) const;
  // During a stroke (IMViewStrokeDrawing.cpp): draws `area` (bitmap pixels,
  // `dirtyRect` in the view) over the kept composition below the painted
  // layer; false when there is no stroke and nothing was drawn.
  bool drawAroundStroke(QImage& bitmap, const QRectF& dirtyRect, const QRect& area,
                        const CanvasDocumentCache::Setup& setup,
                        const gfx::AffineTransform& transform);
  // What a full draw of `dirtyRect` draws, with only `layers` of the document.
  void drawLayers(const QRectF& dirtyRect, const gfx::AffineTransform& transform,
                  IMViewDrawingDelegate::Layers layers);
  // The view rectangle of bitmap pixels `area`; empty unless exactly that.
  QRectF viewRectOfBitmapPixels(const QRect& area) const;
  QRegion bitmapPixels(const QRegion& widgetArea) const;
  using Message = void (IMViewResponderDelegate::*)(ui::Event&,
                                                    const IMViewResponderDelegate::Fallback&);
  // The view's own handling, called without virtual dispatch.
  using Inherited = void (*)(IMView*, ui::Event&);
  void forward(Message message, Inherited inherited, ui::Event& event);
  ui::ClipView* clipView() const;

  IMViewDrawingDelegate* drawingDelegate_ = nullptr;
  IMViewSizeDelegate* sizeDelegate_ = nullptr;
  std::atomic<IMViewResponderDelegate*> redirectResponder_{nullptr};
  ui::DraggingDestination* draggingDestination_ = nullptr;
  bool forceCleanDrawing_ = false;
  bool noAlphaWhenForceCleanDrawing_ = false;
  QPointF zoomPoint_;
  CanvasDocumentCache documentCache_;
  // Parts asked for where only the overlays changed, not yet painted.
  QRegion overlaysOnly_;
  // The composition below the layer a stroke paints, and that layer.
  CanvasDocumentCache belowStroke_;
  const void* belowStrokeLayer_ = nullptr;
  // Parts asked for where only the painted layer changed, not yet painted.
  QRegion strokeOnly_;
  // While a paint event draws into the view's own bitmap.
  bool painting_ = false;
};
