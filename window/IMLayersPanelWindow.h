#pragma once

#include <QPointF>
#include <QRectF>

#include "window/IMListPanelWindow.h"

class IMWindowTools;

// What the layers panel needs of its document window beyond a list panel's
// needs: redrawing the canvas where a layer was, fitting the zoom to a
// canvas that took a new image's size, and showing the panel itself.
class IMLayersPanelWindow : public IMListPanelWindow {
 public:
  // Document coordinates.
  virtual void setNeedsDisplayInLayerRect(const QRectF& rect) = 0;
  virtual void setNeedsDisplay() = 0;
  virtual void adjustZoomForDocumentToFitVisibleRect() = 0;
  virtual void hideLayersAnimated(bool animated, bool hide) = 0;
  virtual void setTabbedSettingsTab(qint64 tab) = 0;
  // The document point under a point of the window (y up), through the
  // canvas's zoom and scrolling.
  virtual QPointF documentPointForWindowPoint(const QPointF& point) { return point; }
  // After filters were dropped on the selected layer.
  virtual void selectFirstFilter() {}
  // The tools' selection that copying and deleting layers follow; null
  // without tools.
  virtual IMWindowTools* selectionTool() { return nullptr; }
};
