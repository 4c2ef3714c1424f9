// The tool's state machine: one undo group per edit, the temporary layer
// made at mouse-down and merged into the layer below at mouse-up, and the
// event's position in the space the tool works in.
#include "appkit/ScrollView.h"
#include "appkit/core/Beep.h"
#include "coredata/ManagedObjectContext.h"
#include "foundation/IndexSet.h"
#include "foundation/UndoManager.h"
#include "foundation/UserDefaults.h"
#include "model/IMAManagedObjectContext.h"
#include "model/Layer.h"
#include "tools/IMTool.h"
#include "tools/IMToolsController.h"
#include "window/IMLayersArrayController.h"
#include "window/IMView.h"

namespace {

const QString kDrawingWithoutMerging = QStringLiteral("IMDrawingWithoutMerging");

// A window point (y up) in a widget's own space, y up.
QPointF inWidgetYUp(const QWidget* widget, const QPointF& windowPoint) {
  const QWidget* window = widget->window();
  const QPointF local =
      widget->mapFrom(window, QPointF(windowPoint.x(), window->height() - windowPoint.y()));
  return {local.x(), widget->height() - local.y()};
}

}  // namespace

QPointF IMTool::locationWithEvent(const ui::Event& event) {
  IMView* view = toolsController_ ? toolsController_->mainView() : nullptr;
  if (!view) return event.locationInWindow();
  QPointF location;
  if (clipViewTransformationLevel()) {
    ui::ScrollView* scrollView = view->enclosingScrollView();
    location =
        scrollView ? inWidgetYUp(scrollView, event.locationInWindow()) : event.locationInWindow();
  } else {
    location = view->locationOfEvent(event);
    if (!viewTransformationLevel())
      location = mouseToDocumentTransformation().transformPoint(location);
  }
  if (layerTransformationLevel())
    location = documentToLayerTransformation().transformPoint(location);
  return location;
}

// The group opens before any layer is made for the edit, so one undo takes
// the whole edit back, the layer included; an edit that turns out to change
// nothing where it starts closes it again at once.
void IMTool::mouseDown(const ui::Event& event) {
  // A gesture whose mouse-up never came (the pointer grab was lost) ends here.
  endUndoGroupIfBegun();
  finishPendingWork();
  if (toolsController_) toolsController_->stopImmediatellyAnimation();
  currentState_ = 1;
  lastEvent_ = event;
  hasLastEvent_ = true;
  if (!isUsable()) {
    ui::beep();
    return;
  }
  if (isAnEditTool()) beginUndoGroup();
  makeTemporaryLayer();
  willFindLocationInMouseDown();
  const QPointF location = locationWithEvent(event);
  if (didBeginAnUndoGroup_ && !isUsableAtLocation(location)) endUndoGroupIfBegun();
  mouseDownLocation_ = location;
  mouseDownAtLocation(location);
  lastLocation_ = location;
}

void IMTool::mouseDragged(const ui::Event& event) {
  if (currentState_ == 0) return;
  currentState_ = 2;
  lastEvent_ = event;
  if (!isUsable()) return;
  IMView* view = toolsController_ ? toolsController_->mainView() : nullptr;
  if (autoScroll() && view) view->autoscroll(event);
  const QPointF location = locationWithEvent(event);
  if (location == lastLocation_) return;
  mouseDraggedAtLocation(location);
  lastLocation_ = locationWithEvent(event);
}

void IMTool::mouseUp(const ui::Event& event) {
  if (currentState_ != 0) {
    currentState_ = 3;
    lastEvent_ = event;
    if (isUsable()) {
      mouseUpAtLocation(locationWithEvent(event));
      mergeTemporaryLayer();
      mouseDownLocation_ = lastLocation_ = QPointF();
    }
    // Whatever happened, the next edit starts without a temporary layer.
    isWorkingOnAtempLayer_ = false;
    currentState_ = 0;
    if (IMView* view = toolsController_ ? toolsController_->mainView() : nullptr)
      view->rebuildCursorRects();
    if (toolsController_) toolsController_->startAnimation();
  }
  endUndoGroupIfBegun();
}

void IMTool::returnToIdle() {
  currentState_ = 0;
  isWorkingOnAtempLayer_ = false;
  mouseDownLocation_ = lastLocation_ = QPointF();
  endUndoGroupIfBegun();
  if (IMView* view = toolsController_ ? toolsController_->mainView() : nullptr)
    view->rebuildCursorRects();
  if (toolsController_) toolsController_->startAnimation();
}

void IMTool::beginUndoGroup() {
  IMAManagedObjectContext* context =
      toolsController_ ? toolsController_->managedObjectContext() : nullptr;
  fnd::UndoManager* undo = context ? context->undoManager() : nullptr;
  if (!undo) return;
  context->processPendingChanges();
  undo->beginUndoGrouping();
  didBeginAnUndoGroup_ = true;
}

bool IMTool::takeUndoGroup() {
  const bool begun = didBeginAnUndoGroup_;
  didBeginAnUndoGroup_ = false;
  return begun;
}

void IMTool::endUndoGroupIfBegun() {
  if (!didBeginAnUndoGroup_) return;
  didBeginAnUndoGroup_ = false;
  IMAManagedObjectContext* context =
      toolsController_ ? toolsController_->managedObjectContext() : nullptr;
  fnd::UndoManager* undo = context ? context->undoManager() : nullptr;
  if (!undo || undo->groupingLevel() == 0) return;
  context->processPendingChanges();
  undo->endUndoGrouping();
}

// A selected empty layer is drawn into as it is; otherwise a new layer goes
// above the selected one, to be merged down unless the working layer was
// text (shapes stay apart from text).
void IMTool::makeTemporaryLayer() {
  if (!shouldWorkOnATempLayer() || !toolsController_) return;
  IMLayersArrayController* layers = toolsController_->layersController();
  if (!layers) return;
  Layer* working = toolsController_->workingLayer();
  if (layers->atLeastOneLayerSelected() && working && working->isEmpty()) {
    isWorkingOnAtempLayer_ = false;
    return;
  }
  isWorkingOnAtempLayer_ = !(working && working->isText());
  layers->obtainANewLayerIsText(false);
}

// Merged only into a layer that exists below the temporary one.
void IMTool::mergeTemporaryLayer() {
  fnd::UserDefaults& defaults = fnd::UserDefaults::standardUserDefaults();
  if (!defaults.hasKey(kDrawingWithoutMerging)) defaults.setBool(false, kDrawingWithoutMerging);
  if (!shouldWorkOnATempLayer() || !isWorkingOnAtempLayer_ ||
      defaults.boolForKey(kDrawingWithoutMerging) || !toolsController_)
    return;
  IMLayersArrayController* layers = toolsController_->layersController();
  if (!layers) return;
  const int count = layers->objectsCount();
  const int first = layers->selectionIndexes().firstIndex();
  if (count <= 1 || first < 0 || first + 1 >= count) return;
  if (Layer* working = toolsController_->workingLayer()) working->setName(QString(""));
  fnd::IndexSet selection = layers->selectionIndexes();
  selection.addIndex(first + 1);
  layers->setSelectionIndexes(selection);
  layers->merge();
}
