// The canvas's events: the mouse goes to the tool that took the gesture's
// mouse-down, keys choose tools and move things, modifier keys swap in a
// tool while held, and gestures zoom, rotate and cycle.
#include <cmath>

#include "appkit/core/Beep.h"
#include "foundation/UndoManager.h"
#include "foundation/ValueTransformer.h"
#include "model/IMAManagedObjectContext.h"
#include "model/Layer.h"
#include "tools/IMAPipetteTool.h"
#include "tools/IMBezierPathTool.h"
#include "tools/IMCIEraserTool.h"
#include "tools/IMCIPointTool.h"
#include "tools/IMCropMarkerTool.h"
#include "tools/IMGradientTool.h"
#include "tools/IMLassoTool.h"
#include "tools/IMLayerDragingTool.h"
#include "tools/IMMagicEraser.h"
#include "tools/IMMagnifyingGlassTool.h"
#include "tools/IMPencilTool.h"
#include "tools/IMTamponTool.h"
#include "tools/IMTextTool.h"
#include "tools/IMToolsController.h"
#include "window/IMLayersArrayController.h"
#include "window/IMWindowController.h"

// A gesture whose end never arrived ends at the next mouse-down.
void IMToolsController::mouseDown(ui::Event& event, const Fallback& fallbackHandler) {
  if (event.type() != ui::EventType::LeftMouseDown) return fallbackHandler(event);
  endGestureUndoGrouping();
  trackingTool_ = selectedTool();
  if (trackingTool_) trackingTool_->mouseDown(event);
}

// Drags and the mouse-up go to the tool that took the mouse-down, whatever
// tool became current meanwhile, so its edit always ends.
void IMToolsController::mouseDragged(ui::Event& event, const Fallback& fallbackHandler) {
  if (event.type() != ui::EventType::LeftMouseDragged) return fallbackHandler(event);
  if (IMTool* tool = trackingTool_ ? trackingTool_ : selectedTool()) tool->mouseDragged(event);
}

void IMToolsController::mouseUp(ui::Event& event, const Fallback& fallbackHandler) {
  if (event.type() != ui::EventType::LeftMouseUp) return fallbackHandler(event);
  IMTool* tool = trackingTool_ ? trackingTool_ : selectedTool();
  trackingTool_ = nullptr;
  if (tool) tool->mouseUp(event);
}

void IMToolsController::selectFromKey(QChar key) {
  switch (key.toLower().unicode()) {
    case 'b':
      selectToolOfClass<IMPencilTool>();
      break;
    case 'c':
    case 'm':
    case 'w':
      selectToolOfClass<IMCropMarkerTool>();
      break;
    case 'e':
      selectToolOfClass<IMCIEraserTool>();
      break;
    case 'g':
      selectToolOfClass<IMGradientTool>();
      break;
    case 'l':
      selectToolOfClass<IMLassoTool>();
      break;
    case 'n':
      selectToolOfClass<IMCIPointTool>();
      break;
    case 'o':
      selectToolOfClass<IMMagicEraser>();
      break;
    case 's':
      selectToolOfClass<IMTamponTool>();
      break;
    case 't':
      selectToolOfClass<IMTextTool>();
      break;
    case 'u':
      selectToolOfClass<IMBezierPathTool>();
      break;
    case 'v':
      selectToolOfClass<IMLayerDragingTool>();
      break;
    case 'z':
      selectToolOfClass<IMMagnifyingGlassTool>();
      break;
    default:
      break;
  }
}

void IMToolsController::moveWithArrow(char16_t arrow) {
  if (hasSelection()) {
    IMSelectionTool* selection = selectionTool();
    if (arrow == ui::UpArrowFunctionKey) selection->moveUp();
    if (arrow == ui::DownArrowFunctionKey) selection->moveDown();
    if (arrow == ui::LeftArrowFunctionKey) selection->moveLeft();
    if (arrow == ui::RightArrowFunctionKey) selection->moveRight();
    return;
  }
  IMLayersArrayController* layers = layersController();
  if (!layers) return;
  if (arrow == ui::UpArrowFunctionKey) layers->selectedLayersUp();
  if (arrow == ui::DownArrowFunctionKey) layers->selectedLayersDown();
  if (arrow == ui::LeftArrowFunctionKey) layers->selectedLayersLeft();
  if (arrow == ui::RightArrowFunctionKey) layers->selectedLayersRight();
}

void IMToolsController::keyDown(ui::Event& event, const Fallback& fallbackHandler) {
  endGestureUndoGrouping();
  if (event.keyCode() == ui::EscapeKeyCode || event.characters().isEmpty())
    return fallbackHandler(event);
  const QChar key = event.characters().at(0).toLower();
  const char16_t code = key.unicode();
  if (code == ui::TabCharacter) return nextTool();
  if (code == ui::BackTabCharacter) return previousTool();
  if (code >= ui::UpArrowFunctionKey && code <= ui::RightArrowFunctionKey)
    return moveWithArrow(code);
  if (QStringLiteral("bcmwegolnstuvz").contains(key)) return selectFromKey(key);
  fallbackHandler(event);
}

void IMToolsController::keyUp(ui::Event& event, const Fallback& fallbackHandler) {
  fallbackHandler(event);
}

// Command holds the drag tool, Option the colour picker over a tool that
// paints with colour 1; releasing both returns to the tool that was current.
void IMToolsController::flagsChanged(ui::Event& event, const Fallback&) {
  modifierFlags_ = event.modifierFlags();
  const bool command = modifierFlags_ & ui::CommandKeyMask;
  const bool option = modifierFlags_ & ui::AlternateKeyMask;
  if (command && !previousToolInFlagsChanged_) {
    IMLayerDragingTool* drag = toolForClass<IMLayerDragingTool>();
    if (drag && drag->isUsable()) {
      previousToolInFlagsChanged_ = selectedTool();
      selectToolOfClass<IMLayerDragingTool>();
    }
  }
  if (option && !previousToolInFlagsChanged_) {
    IMTool* current = selectedTool();
    if (current && current->isUsingColor1()) {
      previousToolInFlagsChanged_ = current;
      selectToolOfClass<IMAPipetteTool>();
    }
    return;
  }
  if (previousToolInFlagsChanged_ && !command && !option) {
    selectToolOfClassOf(previousToolInFlagsChanged_);
    previousToolInFlagsChanged_ = nullptr;
  }
}

void IMToolsController::startUndoGrouping() {
  IMAManagedObjectContext* context = managedObjectContext();
  fnd::UndoManager* undo = context ? context->undoManager() : nullptr;
  if (!undo || gestureGroupOpen_) return;
  context->processPendingChanges();
  undo->beginUndoGrouping();
  gestureGroupOpen_ = true;
}

void IMToolsController::endGestureUndoGrouping() {
  if (!gestureGroupOpen_) return;
  gestureGroupOpen_ = false;
  IMAManagedObjectContext* context = managedObjectContext();
  fnd::UndoManager* undo = context ? context->undoManager() : nullptr;
  if (!undo || undo->groupingLevel() == 0) return;
  context->processPendingChanges();
  undo->endUndoGrouping();
}

void IMToolsController::beginGestureWithEvent(ui::Event&, const Fallback&) {}

void IMToolsController::endGestureWithEvent(ui::Event&, const Fallback&) {
  endGestureUndoGrouping();
}

// Pinches and rotations follow the tool the user chose, not the drag tool
// that holding Ctrl lends: on desktops without touchpad gestures they come
// from Ctrl+wheel, so Ctrl is always down for them.
bool IMToolsController::gesturesActOnLayers() const {
  IMTool* chosen = previousToolInFlagsChanged_ ? previousToolInFlagsChanged_ : selectedTool();
  return dynamic_cast<IMLayerDragingTool*>(chosen) != nullptr;
}

// The zoom slider's scale: ten to the power of half the magnification.
void IMToolsController::magnifyWithEvent(ui::Event& event, const Fallback&) {
  if (!std::isfinite(event.magnification())) return;
  const double half = event.magnification() * 0.5;
  std::shared_ptr<fnd::ValueTransformer> log =
      fnd::ValueTransformer::valueTransformerForName("LogValueForScaleSliderTransformer");
  const double factor = log ? log->reverseTransformedValue(half).toDouble() : std::pow(10, half);
  if (!std::isfinite(factor) || factor <= 0) return;
  if (!gesturesActOnLayers() || altPressed(event)) {
    // The zoom goes about the pointer, as a wheel zoom does elsewhere.
    if (IMView* canvas = windowController_ ? windowController_->mainViewCanvas() : nullptr)
      windowController_->setZoomKeepingViewPoint(windowController_->zoom() * factor,
                                                 canvas->locationOfEvent(event));
    return;
  }
  IMLayersArrayController* layers = layersController();
  const QList<Layer*> selected = layers ? layers->selectedLayers() : QList<Layer*>();
  if (selected.isEmpty()) return ui::beep();
  startUndoGrouping();
  for (Layer* layer : selected) layer->setZoom(float(layer->zoom() * factor));
}

void IMToolsController::rotateWithEvent(ui::Event& event, const Fallback&) {
  if (!gesturesActOnLayers() || !std::isfinite(event.rotation())) return;
  IMLayersArrayController* layers = layersController();
  const QList<Layer*> selected = layers ? layers->selectedLayers() : QList<Layer*>();
  if (selected.isEmpty()) return ui::beep();
  startUndoGrouping();
  for (Layer* layer : selected) {
    double angle = std::fmod(layer->rotationAngle() - event.rotation(), 360.0);
    if (angle < 0) angle += 360;
    layer->setRotationAngle(float(angle));
  }
}

void IMToolsController::swipeWithEvent(ui::Event& event, const Fallback&) {
  if (std::abs(event.deltaX()) == 1) return event.deltaX() == 1 ? previousTool() : nextTool();
  if (std::abs(event.deltaY()) != 1) return;
  IMLayersArrayController* layers = layersController();
  const int index = layers ? layers->selectionIndex() : -1;
  const int count = layers ? layers->objectsCount() : 0;
  if (index < 0 || count == 0) return ui::beep();
  const int next =
      event.deltaY() == -1 ? (index + 1) % count : (index == 0 ? count - 1 : index - 1);
  layers->setSelectionIndex(next);
}
