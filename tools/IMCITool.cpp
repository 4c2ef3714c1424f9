// The stroke: where a painting tool may work, the preparation of the
// accumulator at mouse-down, and the bake at mouse-up, at once or once the
// drawing queue has rendered every stamp of the stroke.
#include "tools/IMCITool.h"

#include "appkit/core/Beep.h"
#include "foundation/OperationQueue.h"
#include "foundation/Timer.h"
#include "foundation/UndoManager.h"
#include "foundation/UserDefaults.h"
#include "model/ComposedImage.h"
#include "model/IMAManagedObjectContext.h"
#include "model/Layer.h"
#include "model/Settings.h"
#include "tools/IMCIToolStroke.h"
#include "tools/IMSelectionTool.h"
#include "tools/IMToolsController.h"
#include "window/IMLayersArrayController.h"
#include "window/IMView.h"
#include "window/IMWindowController.h"

IMCITool::IMCITool(IMToolsController* toolsController) : IMTool(toolsController) {}

// Queued stamps still hold the stroke; their bake, posted to the main loop,
// finds the tool gone and does nothing.
IMCITool::~IMCITool() {
  if (delayedRefresh_) delayedRefresh_->invalidate();
  if (unbaked_) unbaked_->waitForStamps();
}

bool IMCITool::CIToolIsUsable() const {
  Layer* layer = toolsController() ? toolsController()->workingLayer() : nullptr;
  return layer && layer->visible() && layer->isCoreImage() && !layer->isText();
}

double IMCITool::toolSize() const {
  std::shared_ptr<Settings> s = settings();
  return s ? s->pencilSize() : 0;
}

bool IMCITool::isUsableAtLocation(const QPointF& location) {
  IMWindowController* window = toolsController() ? toolsController()->windowController() : nullptr;
  if (!window) return false;
  const QRectF workable = window->workableRectWithInset(toolSize());
  return !workable.isEmpty() && workable.contains(location) && CIToolIsUsable();
}

// Painting never lands on text or a hidden layer: a new bitmap layer
// becomes the working layer then, made inside the edit's undo group.
void IMCITool::willFindLocationInMouseDown() {
  IMLayersArrayController* layers =
      toolsController() ? toolsController()->layersController() : nullptr;
  if (!layers) return;
  if (layers->atLeastOneLayerSelected() && CIToolIsUsable()) return;
  layers->obtainANewLayerIsText(false);
}

ci::Image IMCITool::imageWithPoint(const QPointF&, double, const ci::Image&) { return {}; }

QRectF IMCITool::toolRectWithPoint(const QPointF& point) const {
  const double s = toolSize();
  return {point.x() - s, point.y() - s, 2 * s, 2 * s};
}

ci::Image IMCITool::ajustedImage(const ci::Image& image, const QPointF& point) const {
  if (toolSize() > 1 || image.isNull()) return image;
  return image.imageByCroppingToRect(QRectF(std::floor(point.x()), std::floor(point.y()), 1, 1));
}

bool IMCITool::useMorePreciseDrawing() {
  static const QString key = QStringLiteral("IMUseMorePreciseDrawingPreferenceKey");
  fnd::UserDefaults& defaults = fnd::UserDefaults::standardUserDefaults();
  if (!defaults.hasKey(key)) defaults.setBool(false, key);
  return defaults.boolForKey(key);
}

fnd::OperationQueue* IMCITool::drawingOperationQueue() {
  static fnd::OperationQueue* queue = [] {
    auto* q = new fnd::OperationQueue;  // for the whole process
    q->setName(QStringLiteral("drawing"));
    q->setMaxConcurrentOperationCount(1);
    return q;
  }();
  return queue;
}

void IMCITool::mouseDownAtLocation(const QPointF& location) {
  isAllowedToBeUsed_ = false;
  IMWindowController* window = toolsController() ? toolsController()->windowController() : nullptr;
  Layer* layer = toolsController() ? toolsController()->workingLayer() : nullptr;
  if (!window || !layer || !isUsableAtLocation(location)) {
    ui::beep();
    return;
  }
  const QRectF workingRect = window->workableRectWithInset(toolSize());
  if (workingRect.isEmpty()) {
    ui::beep();
    return;
  }
  isAllowedToBeUsed_ = true;
  prepareStroke(layer, workingRect);
  if (!useToolWithPoint(location, lastEvent().pressure())) ui::beep();
}

void IMCITool::prepareStroke(Layer* layer, const QRectF& workingRect) {
  stroke_ = std::make_shared<IMCIToolStroke>();
  stroke_->layer = layer;
  stroke_->workingRect = workingRect;
  stroke_->queued = useMorePreciseDrawing();
  IMToolsController* tools = toolsController();
  if (tools->hasSelection()) {
    stroke_->hasSelection = true;
    stroke_->selectionRect = tools->selectedRect();
    const QSizeF canvas = tools->composedImage() ? tools->composedImage()->size() : QSizeF();
    if (IMSelectionTool* selection = tools->selectionTool())
      stroke_->selectionMask = selection->selectionMaskWithSize(canvas.toSize());
  }
  willBeginStroke();
  stroke_->compositingOperation = compositingOperation();
  layer->setAccumulatorCompositingOperation(stroke_->compositingOperation);
  layer->prepareAccumulatorWithWorkingRect(workingRect);
  stroke_->accumulator = layer->CIImageAccumulator();
  refreshInRect(workingRect);
}

void IMCITool::mouseDraggedAtLocation(const QPointF& location) {
  if (!isAllowedToBeUsed_ || !stroke_ || !stroke_->layer->visible()) return;
  useToolWithPoint(location, lastEvent().pressure());
}

void IMCITool::mouseUpAtLocation(const QPointF&) {
  std::shared_ptr<IMCIToolStroke> stroke = std::move(stroke_);
  const bool allowed = isAllowedToBeUsed_;
  isAllowedToBeUsed_ = false;
  if (!allowed || !stroke || !stroke->layer->visible()) return;
  if (!stroke->queued) {
    bake(stroke);
    return;
  }
  // The edit is the bake: its undo group stays open until then.
  stroke->ownsUndoGroup = takeUndoGroup();
  unbaked_ = stroke;
  std::weak_ptr<int> alive = alive_;
  drawingOperationQueue()->addOperationWithBlock([this, alive, stroke] {
    stroke->markStampsDone();
    fnd::OperationQueue::mainQueue()->addOperationWithBlock([this, alive, stroke] {
      if (!alive.expired()) bake(stroke);
    });
  });
}

// A new stroke starts after the last one is baked and its undo step closed.
void IMCITool::finishPendingWork() {
  if (!unbaked_) return;
  std::shared_ptr<IMCIToolStroke> stroke = unbaked_;
  stroke->waitForStamps();
  bake(stroke);
}

void IMCITool::bake(const std::shared_ptr<IMCIToolStroke>& stroke) {
  if (stroke->baked) return;
  stroke->baked = true;
  if (unbaked_ == stroke) unbaked_.reset();
  Layer* layer = stroke->layer;
  // A queued bake may come after the layer was deleted.
  ComposedImage* composed = toolsController() ? toolsController()->composedImage() : nullptr;
  if (!composed || !composed->layersArray().contains(layer)) layer = nullptr;
  if (layer && layer->visible()) {
    // What the stroke painted is baked even when the layer let go of its
    // accumulator meanwhile.
    if (layer->CIImageAccumulator() != stroke->accumulator) {
      layer->setAccumulatorCompositingOperation(stroke->compositingOperation);
      layer->setCIImageAccumulator(stroke->accumulator);
    }
    layer->composeAccumulatorWithLayer();
    if (IMView* view = toolsController() ? toolsController()->mainView() : nullptr)
      view->setNeedsDisplay(true);
  }
  if (!stroke->ownsUndoGroup) return;
  IMAManagedObjectContext* context =
      toolsController() ? toolsController()->managedObjectContext() : nullptr;
  fnd::UndoManager* undo = context ? context->undoManager() : nullptr;
  if (!undo || undo->groupingLevel() == 0) return;
  context->processPendingChanges();
  undo->endUndoGrouping();
}
