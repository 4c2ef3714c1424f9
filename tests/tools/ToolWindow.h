// A document window with its tools, opened as a user opens a file: a
// stored 400 x 300 document of three layers ("Bar", "Sun", "Ground", top
// first) through the document controller. Qt's own mouse, key, wheel and
// gesture events go to its canvas; a recording brush takes the brush's
// place in the chooser so tests see what a tool receives.
#pragma once

#include <QList>
#include <QPointF>
#include <memory>
#include <vector>

#include "documents/IMDocumentController.h"
#include "tools/IMPencilTool.h"
#include "tools/IMToolsController.h"

class IMDocument;
class IMLayersArrayController;
class IMView;
class IMWindowController;
class Layer;
namespace fnd {
class UndoManager;
}

// The brush, recording the hooks it is called with (document coordinates)
// and moving the working layer by each drag's step: an edit to undo.
class RecordingBrush : public IMPencilTool {
 public:
  using IMPencilTool::IMPencilTool;
  struct Call {
    char hook;  // 'd' down, 'm' dragged, 'u' up
    QPointF location;
    quint64 state;
  };
  void mouseDownAtLocation(const QPointF& location) override;
  void mouseDraggedAtLocation(const QPointF& location) override;
  void mouseUpAtLocation(const QPointF& location) override;
  bool isUsable() override { return usable; }
  std::vector<Call> calls;
  bool usable = true;
};

class RecordingToolsController : public IMToolsController {
 protected:
  void makeTools() override;
};

class ToolWindow {
 public:
  // With `recordingBrush` false every tool is the program's own.
  explicit ToolWindow(bool recordingBrush = true);
  ~ToolWindow();

  bool isOpen() const { return window != nullptr; }
  IMToolsController* tools() const;
  RecordingBrush* brush() const;
  IMView* canvas() const;
  IMLayersArrayController* layers() const;
  fnd::UndoManager* undoManager() const;
  QList<Layer*> arrangedLayers() const;
  QStringList layerNames() const;
  Layer* layerNamed(const QString& name) const;

  // Qt events into the canvas, at document points (y up).
  QPointF widgetPointOf(const QPointF& documentPoint) const;
  void press(const QPointF& documentPoint, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
  void drag(const QPointF& documentPoint, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
  void release(const QPointF& documentPoint, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
  void pressWidget(const QPointF& widgetPoint);
  void dragWidget(const QPointF& widgetPoint);
  void releaseWidget(const QPointF& widgetPoint);
  void key(int qtKey, Qt::KeyboardModifiers modifiers = Qt::NoModifier,
           const QString& text = QString());
  void keyUp(int qtKey, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
  void gesture(Qt::NativeGestureType type, double value);
  void wheel(QPoint angleDelta, Qt::KeyboardModifiers modifiers);
  // Scrolls the canvas so the document rectangle is in the middle of the
  // visible part, away from the edges where drags scroll.
  void scrollToShow(const QRectF& documentRect);
  // What was done so far is no longer undoable.
  void forgetUndo();

  IMDocumentController controller;
  IMDocument* document = nullptr;
  IMWindowController* window = nullptr;
};
