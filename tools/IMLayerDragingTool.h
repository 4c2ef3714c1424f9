#pragma once

#include <QList>

#include "tools/IMTool.h"

class Layer;

// Moves the selected layers by dragging; the default tool. With a
// selection, or with Option held, it first lifts pixels into new layers
// (the selected ones cut out, or copied with Option; whole layers copied
// with Option alone) and drags those. A double click brings the selected
// layers to the top.
class IMLayerDragingTool : public IMTool {
 public:
  using IMTool::IMTool;

  bool isUsable() override;
  bool autoScroll() const override { return true; }
  QString nameKey() const override { return QStringLiteral("Drag Tool"); }
  QString shortcuts() const override { return QStringLiteral("v"); }
  gfx::ImagePtr logo() const override;
  QCursor defaultCursor() const override;
  QCursor altCursor() const override;

  // Layers are only moved: no selection and no Option.
  bool moveMode() const;
  // Lifts `layer`'s pixels (the selected ones, or all of them) into a new
  // layer placed just above it, and adds that layer to temporyNewLayers.
  void mouseDownOnLayer(Layer* layer);
  void mouseDownAtLocation(const QPointF& location) override;
  void mouseDraggedAtLocation(const QPointF& location) override;
  void mouseUpAtLocation(const QPointF& location) override;

  const QList<Layer*>& temporyNewLayers() const { return temporyNewLayers_; }
  void setTemporyNewLayers(const QList<Layer*>& layers);

 private:
  void liftSelectedLayers();

  QList<Layer*> temporyNewLayers_;
  bool moved_ = false;
};
