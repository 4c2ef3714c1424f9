#pragma once

#include <QRectF>

#include "window/IMListPanelWindow.h"

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
};
