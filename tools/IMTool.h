#pragma once

#include <QCursor>
#include <QMenu>
#include <QPointF>
#include <QRectF>
#include <QString>
#include <memory>

#include "appkit/Event.h"
#include "coreimage/Color.h"
#include "graphics/AffineTransform.h"
#include "graphics/Image.h"

class IMToolsController;
class Settings;

// The base of every editing tool. It turns the mouse-down, drags and
// mouse-up that the tools controller hands it into four states (0 idle,
// 1 down, 2 dragging, 3 up), converts positions to the space the tool works
// in, opens one undo group per edit, gives shape tools a temporary layer
// merged down at mouse-up, and supplies the defaults of every hook.
class IMTool {
 public:
  explicit IMTool(IMToolsController* toolsController);
  virtual ~IMTool();
  IMTool(const IMTool&) = delete;
  IMTool& operator=(const IMTool&) = delete;

  template <class T>
  static std::unique_ptr<T> toolWithToolsController(IMToolsController* toolsController) {
    return std::make_unique<T>(toolsController);
  }

  // ---- Events (from the tools controller only) ----
  QPointF locationWithEvent(const ui::Event& event);
  void mouseDown(const ui::Event& event);
  void mouseDragged(const ui::Event& event);
  virtual void mouseUp(const ui::Event& event);

  // ---- Where the tool works ----
  std::shared_ptr<Settings> settings() const;
  gfx::AffineTransform mouseToDocumentTransformation() const;
  virtual gfx::AffineTransform documentToLayerTransformation() const;
  quint64 currentState() const { return currentState_; }
  // 0 the canvas's scroll view, 1 the canvas, 2 the document, 3 the working layer.
  virtual unsigned transformationLevel() const { return 2; }
  bool clipViewTransformationLevel() const { return transformationLevel() == 0; }
  bool viewTransformationLevel() const { return transformationLevel() == 1; }
  bool documentTransformationLevel() const { return transformationLevel() == 2; }
  bool layerTransformationLevel() const { return transformationLevel() == 3; }

  // ---- Hooks and their defaults ----
  virtual bool isUsable() { return true; }
  virtual bool isUsableAtLocation(const QPointF&) { return true; }
  bool isInUse() const { return currentState_ != 0; }
  bool isTheCurrentTool() const;
  virtual bool autoScroll() const { return false; }
  virtual ci::Color color() const;
  unsigned modifierFlags() const;
  unsigned altPressed() const { return modifierFlags() & ui::AlternateKeyMask; }
  unsigned cmdPressed() const { return modifierFlags() & ui::CommandKeyMask; }
  unsigned ctlPressed() const { return modifierFlags() & ui::ControlKeyMask; }
  unsigned shiftPressed() const { return modifierFlags() & ui::ShiftKeyMask; }
  // For tools whose chooser image follows a mode.
  void updateToolBar();
  virtual void mouseDownAtLocation(const QPointF&) {}
  virtual void mouseUpAtLocation(const QPointF&) {}
  virtual void mouseDraggedAtLocation(const QPointF&) {}
  // Before the mouse-down location is found: a tool may make or choose the
  // layer it works in here.
  virtual void willFindLocationInMouseDown() {}
  // Before anything of a new gesture happens: work the last gesture left
  // running (a bake on a queue) ends here, so the new edit's undo group
  // opens after the old one closed.
  virtual void finishPendingWork() {}
  virtual QString shortcuts() const { return QString(); }
  virtual void didBecameInUse() {}
  virtual void didBecameNotInUse() {}
  // The overlay (selections, handles), in canvas-view coordinates.
  virtual void draw() {}
  static gfx::ImagePtr pipetteLogo();
  static QCursor pipetteCursor();
  virtual QCursor defaultCursor() const;
  virtual QCursor altCursor() const { return defaultCursor(); }
  virtual QCursor cursorWithModifierFlags(unsigned flags) const;
  // The chooser image.
  virtual gfx::ImagePtr logo() const;
  virtual QString nameKey() const { return QStringLiteral("Generic Tool"); }
  QString localizedName() const;
  // A menu of modes on the tool's chooser segment; owned by the tool.
  virtual QMenu* menuForToolBar() { return nullptr; }
  virtual bool isUsingSize() const { return false; }
  virtual bool isUsingColor1() const { return false; }
  virtual bool isUsingColor2() const { return false; }
  virtual bool shouldWorkOnATempLayer() const { return false; }
  virtual bool isUsingRoundedRect() const { return false; }
  virtual bool isAnEditTool() const { return true; }
  virtual void updateLayer() {}

  // ---- Properties ----
  bool isWorkingOnAtempLayer() const { return isWorkingOnAtempLayer_; }
  void setIsWorkingOnAtempLayer(bool working) { isWorkingOnAtempLayer_ = working; }
  IMToolsController* toolsController() const { return toolsController_; }
  void setToolsController(IMToolsController* controller) { toolsController_ = controller; }
  const ui::Event& lastEvent() const { return lastEvent_; }
  virtual QPointF mouseDownLocation() const { return mouseDownLocation_; }
  virtual QPointF lastLocation() const { return lastLocation_; }
  bool didBeginAnUndoGroup() const { return didBeginAnUndoGroup_; }

  // ---- Class methods ----
  static gfx::ImagePtr composeTriangleWithLogo(const gfx::ImagePtr& logo);
  // With Shift in `flags`, `end` turned to the nearest of eight directions
  // from `start` (four diagonals when `isOnlyPi4`).
  static QPointF modifiedPointFromPoint(const QPointF& start, const QPointF& end, bool isOnlyPi4,
                                        unsigned flags);

 protected:
  // Ends the gesture's undo group when this tool opened one.
  void endUndoGroupIfBegun();
  // Hands the gesture's open undo group to the caller, which closes it
  // later; false when the tool opened none.
  bool takeUndoGroup();
  // Ends a gesture without its mouse-up hooks: idle, the locations zero,
  // the gesture's undo group closed, the cursor rectangles laid out again
  // and the marching ants running.
  void returnToIdle();

 private:
  void makeTemporaryLayer();
  void mergeTemporaryLayer();
  void beginUndoGroup();

  quint64 currentState_ = 0;
  bool didBeginAnUndoGroup_ = false;
  bool isWorkingOnAtempLayer_ = false;
  IMToolsController* toolsController_ = nullptr;
  ui::Event lastEvent_;
  bool hasLastEvent_ = false;
  QPointF mouseDownLocation_;
  QPointF lastLocation_;
};
