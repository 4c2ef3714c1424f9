#pragma once

#include <QList>
#include <QRectF>
#include <QSize>

#include "coreimage/Image.h"
#include "window/IMViewResponderDelegate.h"

class IMWindowController;
class QWidget;
class Layer;
namespace ui {
class SegmentedControl;
}

// What the document window needs of its tools: the canvas's events go to
// them, they draw their overlays over the canvas, they own the tool chooser
// and the current selection, and they follow the window's key state. The
// tools library implements it; the program installs its maker with
// IMWindowController::setToolsControllerFactory.
class IMWindowTools : public IMViewResponderDelegate {
 public:
  // Set once the window has loaded; null when the window goes.
  virtual void setWindowController(IMWindowController* windowController) = 0;
  virtual void setToolsChooser(ui::SegmentedControl* chooser) = 0;
  // Builds the tools and the chooser's segments, once.
  virtual void prepareTools() = 0;
  // Unbinds the chooser and stops the timers; the window is going.
  virtual void teardown() = 0;
  // Overlays in canvas-view coordinates over the dirty rectangle.
  virtual void drawOverlaysInRect(const QRectF& dirtyRect) = 0;
  virtual bool hasSelection() = 0;
  // Document coordinates; the zero rectangle without a selection.
  virtual QRectF selectedRect() = 0;
  // The window's selection commands reach the selection tools here.
  virtual bool hasRectSelection() const = 0;
  // The whole canvas, with the rectangle selection tool made current.
  virtual void selectAll() = 0;
  virtual void deselect() = 0;
  // The selection's coverage over the selected rectangle drawn at `size`
  // pixels; the null image stands for the whole rectangle.
  virtual ci::Image selectionMaskWithSize(const QSize& size) = 0;
  // Cuts the layers and the canvas down to the rectangle selection.
  virtual void nonDestructiveCropLayers(const QList<Layer*>& layers) = 0;
  // A pasted layer can then be moved at once.
  virtual void selectLayerDragingTool() = 0;
  virtual void updateEnablingOfTools() = 0;
  virtual void becomeKey() = 0;
  virtual void resignKey() = 0;
  // Focus left the canvas: a gesture whose end never came ends here.
  virtual void canvasLostFocus() = 0;
  // The place beside the tool chooser where the current tool's settings
  // show; set before prepareTools.
  virtual void setToolSettingsStrip(QWidget*) {}
  // Cuts the pixels of the layers to the rectangle selection (to the
  // canvas without one); the canvas keeps its size.
  virtual void destructiveCropLayers(const QList<Layer*>& layers) = 0;
};
