#pragma once

#include <QDateTime>
#include <QRectF>
#include <memory>
#include <mutex>
#include <vector>

#include "coreimage/Image.h"
#include "tools/IMTool.h"

namespace fnd {
class OperationQueue;
class Timer;
}  // namespace fnd
class IMCIToolStroke;
class Layer;

// The painting engine of the brush, the eraser and the clone stamp. A tool
// only says what one stamp looks like at a point and pressure; the engine
// lays stamps a quarter of the brush size apart along the mouse path,
// composes them in place into the working layer's accumulator, keeps them
// inside the selection or the workable area, redraws only what they
// touched, and bakes the accumulator into the layer at mouse-up. With
// "IMUseMorePreciseDrawingPreferenceKey" the stamps are rendered on one
// shared serial queue, so mouse events never wait for the painting.
class IMCITool : public IMTool {
 public:
  explicit IMCITool(IMToolsController* toolsController);
  ~IMCITool() override;

  // The working layer exists, is visible, is a bitmap layer and not text.
  bool CIToolIsUsable() const;
  // Inside the workable rectangle grown by the brush size.
  bool isUsableAtLocation(const QPointF& location) override;
  void willFindLocationInMouseDown() override;
  double toolSize() const;
  bool isUsingSize() const override { return true; }

  // ---- What a painting tool supplies ----
  // One stamp centred at `point`, in document coordinates, over
  // `backGroundImage`; null for none.
  virtual ci::Image imageWithPoint(const QPointF& point, double pressure,
                                   const ci::Image& backGroundImage);
  // How the accumulator is drawn over the layer and baked into it.
  virtual quint64 compositingOperation() const { return 2; }

  // ---- The engine ----
  // The area one stamp at `point` can touch.
  QRectF toolRectWithPoint(const QPointF& point) const;
  // A brush of one pixel or less paints exactly the pixel under the point.
  ci::Image ajustedImage(const ci::Image& image, const QPointF& point) const;
  // Stamps from the last location to `point`; false when `point` lies
  // outside the workable area.
  bool useToolWithPoint(const QPointF& point, double pressure);
  void refreshInRect(const QRectF& rect);
  void mouseDownAtLocation(const QPointF& location) override;
  void mouseDraggedAtLocation(const QPointF& location) override;
  void mouseUpAtLocation(const QPointF& location) override;
  void finishPendingWork() override;

  bool isAllowedToBeUsed() const { return isAllowedToBeUsed_; }
  QRectF refreshRect() const;
  void setRefreshRect(const QRectF& rect);
  QDateTime lastDrawingDate() const { return lastDrawingDate_; }

  // Reads "IMUseMorePreciseDrawingPreferenceKey", writing NO when absent.
  static bool useMorePreciseDrawing();
  // One serial queue for every painting tool of every window.
  static fnd::OperationQueue* drawingOperationQueue();

 protected:
  // Called on the main thread when a stroke is prepared, before any stamp.
  virtual void willBeginStroke() {}

 private:
  // The stamp at `point`, cut to where the stroke may paint.
  ci::Image stampAt(const QPointF& point, double pressure) const;
  void paint(std::vector<ci::Image> stamps, const QRectF& dirty);
  void prepareStroke(Layer* layer, const QRectF& workingRect);
  void bake(const std::shared_ptr<IMCIToolStroke>& stroke);
  void redrawPendingArea();
  void cancelDelayedRefresh();

  bool isAllowedToBeUsed_ = false;
  mutable std::mutex refreshMutex_;
  QRectF refreshRect_;
  QDateTime lastDrawingDate_;
  std::shared_ptr<fnd::Timer> delayedRefresh_;
  std::shared_ptr<IMCIToolStroke> stroke_;
  // A queued stroke whose bake has not run yet.
  std::shared_ptr<IMCIToolStroke> unbaked_;
  // Held only by the tool: queued work that outlives it sees its weak copy expire.
  std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};
