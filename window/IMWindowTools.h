#pragma once

#include <QRectF>

#include "window/IMViewResponderDelegate.h"

class IMWindowController;
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
  virtual void updateEnablingOfTools() = 0;
  virtual void becomeKey() = 0;
  virtual void resignKey() = 0;
  // Focus left the canvas: a gesture whose end never came ends here.
  virtual void canvasLostFocus() = 0;
};
