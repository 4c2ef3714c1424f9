#pragma once

#include <QList>

#include "tools/IMSelectionTool.h"

class Layer;

// The rectangle selection, with knobs to resize it.
class IMCropMarkerTool : public IMSelectionTool {
 public:
  using IMSelectionTool::IMSelectionTool;

  QString nameKey() const override { return QStringLiteral("Selection Tool"); }
  QString shortcuts() const override { return QStringLiteral("m"); }
  gfx::ImagePtr logo() const override;
  // The crosshair between gestures, the arrow during one.
  QCursor defaultCursor() const override;
  // The whole canvas.
  void selectAll();
  void nonDestructiveCropLayers(const QList<Layer*>& layers);
};
