#pragma once

#include <QPointF>
#include <QRectF>
#include <memory>

#include "foundation/Observable.h"
#include "tools/IMTool.h"

class FilterParameter;
class Layer;
namespace ui {
class KeyPathObserver;
}

// Places the point of a filter parameter (a centre, a focus) by dragging
// its handle on the canvas. It follows the parameter the filter parameters
// panel has selected, and works in the coordinates of the layer whose
// filter owns that parameter, so the handle stays on the image however the
// layer is moved, turned or zoomed. Each drag of the handle is one undo
// step. Observable key: "point".
class IMCIPointTool : public IMTool, public fnd::Observable {
 public:
  explicit IMCIPointTool(IMToolsController* toolsController);
  ~IMCIPointTool() override;

  // Usable only while the panel's selected point parameter belongs to a
  // layer's filter.
  bool isUsable() override;
  unsigned transformationLevel() const override { return 3; }
  bool autoScroll() const override { return true; }
  gfx::AffineTransform documentToLayerTransformation() const override;
  QString nameKey() const override { return QStringLiteral("Filter Tool"); }
  QString shortcuts() const override { return QStringLiteral("n"); }
  gfx::ImagePtr logo() const override;
  QCursor defaultCursor() const override;

  // ---- The "point" binding ----
  // The tool follows `keyPath` of `object` (the parameters panel's
  // "selection.point"); null unbinds.
  void bindPoint(fnd::Observable* object, const QString& keyPath);
  void unbindPoint();
  fnd::Observable* observedObjectForPoint() const { return observedObjectForPoint_; }

  // ---- The point and its handle ----
  QPointF point() const { return point_; }
  void setPoint(const QPointF& point);
  QPointF localPoint() const { return localPoint_; }
  QPointF oldLocalPoint() const { return oldLocalPoint_; }
  // From the owning layer's coordinates to the canvas view's.
  gfx::AffineTransform transform() const;
  void updateSavedPoints();
  // Canvas-view squares around the handle, now and before.
  QRectF clippingRect() const;
  QRectF oldClippingRect() const;
  QRectF totalClippingRect() const { return clippingRect().united(oldClippingRect()); }

  // The parameter the panel has selected, when it is a point, and the layer
  // whose filter holds it.
  FilterParameter* selectedParameter() const;
  Layer* parameterLayer() const;

  void mouseMovedAtLocation(const QPointF& location);
  void mouseDownAtLocation(const QPointF& location) override { mouseMovedAtLocation(location); }
  void mouseDraggedAtLocation(const QPointF& location) override { mouseMovedAtLocation(location); }
  void draw() override;
  void didBecameInUse() override;
  void didBecameNotInUse() override;

  // The handle's colours at animation time `t`: the cross's grey level and
  // the ring's hue, both in [0, 1].
  static double crossGreyAtTime(qint64 t);
  static double ringHueAtTime(qint64 t);

  QVariant valueForKey(const QString& key) const override;
  void setValueForKey(const QString& key, const QVariant& value) override;
  void didChangeValueForKey(const QString& key) override;

 private:
  void pointOfParameterChanged();
  void redrawHandle() const;

  QPointF point_;
  QPointF localPoint_;
  QPointF oldLocalPoint_;
  fnd::Observable* observedObjectForPoint_ = nullptr;
  QString observedKeyPathForPoint_;
  std::unique_ptr<ui::KeyPathObserver> pointObserver_;
};
