#include "tools/IMToolsController.h"

#include "documents/IMDocument.h"
#include "foundation/OperationQueue.h"
#include "model/ComposedImage.h"
#include "model/IMAManagedObjectContext.h"
#include "tools/IMAPipetteTool.h"
#include "tools/IMBezierPathTool.h"
#include "tools/IMCIEraserTool.h"
#include "tools/IMCIPointTool.h"
#include "tools/IMCollectionViewController.h"
#include "tools/IMCropMarkerTool.h"
#include "tools/IMGradientTool.h"
#include "tools/IMLassoTool.h"
#include "tools/IMLayerDragingTool.h"
#include "tools/IMMagicEraser.h"
#include "tools/IMMagnifyingGlassTool.h"
#include "tools/IMPencilTool.h"
#include "tools/IMTamponTool.h"
#include "tools/IMTextTool.h"
#include "tools/IMToolImages.h"
#include "window/IMFilterParametersArrayController.h"
#include "window/IMLayersArrayController.h"
#include "window/IMView.h"
#include "window/IMWindowController.h"

namespace {

constexpr double kSegmentWidth = 38;
constexpr double kAnimationInterval = 0.5;

}  // namespace

IMToolsController::IMToolsController() { tools_.reserve(20); }

IMToolsController::~IMToolsController() { teardown(); }

void IMToolsController::installInDocumentWindows() {
  IMWindowController::setToolsControllerFactory(
      [] { return std::make_unique<IMToolsController>(); });
}

// ---- The window ----

void IMToolsController::setWindowController(IMWindowController* windowController) {
  windowController_ = windowController;
}

IMLayersArrayController* IMToolsController::layersController() const {
  return windowController_ ? windowController_->layersController() : nullptr;
}

IMView* IMToolsController::mainView() const {
  return windowController_ ? windowController_->mainViewCanvas() : nullptr;
}

ComposedImage* IMToolsController::composedImage() const {
  return windowController_ ? windowController_->composedImage() : nullptr;
}

IMAManagedObjectContext* IMToolsController::managedObjectContext() const {
  return windowController_ ? windowController_->managedObjectContext() : nullptr;
}

Layer* IMToolsController::workingLayer() const {
  IMLayersArrayController* layers = layersController();
  return layers ? layers->topVisibleSelectedLayer() : nullptr;
}

// ---- The tool table ----

void IMToolsController::makeTools() {
  appendTool(IMTool::toolWithToolsController<IMLayerDragingTool>(this));
  appendTool(IMTool::toolWithToolsController<IMPencilTool>(this));
  appendTool(IMTool::toolWithToolsController<IMTamponTool>(this));
  appendTool(IMTool::toolWithToolsController<IMBezierPathTool>(this));
  appendTool(IMTool::toolWithToolsController<IMCIEraserTool>(this));
  appendTool(IMTool::toolWithToolsController<IMMagicEraser>(this));
  appendTool(IMTool::toolWithToolsController<IMGradientTool>(this));
  appendTool(IMTool::toolWithToolsController<IMTextTool>(this));
  appendTool(IMTool::toolWithToolsController<IMCIPointTool>(this));
  appendTool(IMTool::toolWithToolsController<IMAPipetteTool>(this));
  appendTool(IMTool::toolWithToolsController<IMCropMarkerTool>(this));
  appendTool(IMTool::toolWithToolsController<IMLassoTool>(this));
  appendTool(IMTool::toolWithToolsController<IMMagnifyingGlassTool>(this));
}

// The drag tool becomes current once the window has finished loading.
void IMToolsController::prepareTools() {
  if (prepared_) return;
  prepared_ = true;
  makeTools();
  buildChooser();
  bindPointTool();
  if (toolSettingsStrip_)
    collectionViewController_ =
        IMCollectionViewController::loadIntoContainer(toolSettingsStrip_, this);
  startAnimation();
  std::weak_ptr<int> alive = alive_;
  fnd::dispatchToQueue(fnd::OperationQueue::mainQueue(), [this, alive] {
    if (!alive.expired()) selectDefaultTool();
  });
}

void IMToolsController::buildChooser() {
  ui::SegmentedControl* chooser = toolsChooser_;
  if (!chooser) return;
  const int count = int(tools_.size());
  chooser->setSegmentCount(count);
  for (int i = 0; i < count; ++i) {
    IMTool* tool = tools_[size_t(i)].get();
    chooser->setImage(IMToolImages::iconOf(tool->logo()), i);
    chooser->setWidth(kSegmentWidth, i);
    chooser->setToolTip(
        tool->localizedName() + QStringLiteral(" (") + tool->shortcuts().left(1).toUpper() + ")",
        i);
    chooser->setMenu(tool->menuForToolBar(), i);
  }
  // Room for the mode tools' images with their menu triangle.
  chooser->setImageSize(QSize(30, 21));
  chooser->setFixedWidth(int(kSegmentWidth * count + 20));
  chooser->bindSelectedIndex(this, QStringLiteral("selectedToolIndex"));
}

void IMToolsController::teardown() {
  alive_.reset();
  if (IMCIPointTool* point = prepared_ ? CIPointTool() : nullptr) point->unbindPoint();
  collectionViewController_.reset();
  if (toolsChooser_) toolsChooser_->unbindSelectedIndex();
  stopImmediatellyAnimation();
  endGestureUndoGrouping();
}

// The point tool follows the parameter the parameters panel has selected.
void IMToolsController::bindPointTool() {
  IMCIPointTool* point = CIPointTool();
  auto* parameters = windowController_ ? windowController_->filterParametersController() : nullptr;
  if (point && parameters) point->bindPoint(parameters, QStringLiteral("selection.point"));
}

IMTool* IMToolsController::selectedTool() const {
  if (selectedToolIndex_ < 0 || selectedToolIndex_ >= qint64(tools_.size())) return nullptr;
  return tools_[size_t(selectedToolIndex_)].get();
}

qint64 IMToolsController::indexOfTool(const IMTool* tool) const {
  for (size_t i = 0; i < tools_.size(); ++i)
    if (tools_[i].get() == tool) return qint64(i);
  return -1;
}

bool IMToolsController::trySetSelectedToolIndex(qint64 index) {
  const qint64 count = qint64(tools_.size());
  if (count == 0 || selectedToolIndex_ < 0 || selectedToolIndex_ >= count || index < 0 ||
      index >= count)
    return false;
  IMTool* old = tools_[size_t(selectedToolIndex_)].get();
  IMTool* chosen = tools_[size_t(index)].get();
  if (!chosen->isUsable()) return false;
  IMSelectionTool* selection = selectionTool();
  const bool selectionInvolved = selection && (old == selection || chosen == selection);
  willChangeValueForKey("selectedToolIndex");
  selectedToolIndex_ = index;
  savedTool_ = old;
  didChangeValueForKey("selectedToolIndex");
  chosen->didBecameInUse();
  old->didBecameNotInUse();
  if (IMView* view = mainView()) ui::View::resetCursorRectsOfWindow(view);
  if (selectionInvolved)
    if (IMSelectionTool* current = selectionTool()) current->selectionChanged();
  return true;
}

void IMToolsController::nextTool() {
  const qint64 count = qint64(tools_.size());
  for (qint64 step = 1; step <= count; ++step) {
    const qint64 index = (selectedToolIndex_ + step) % count;
    if (tools_[size_t(index)]->isUsable()) return setSelectedToolIndex(index);
  }
}

void IMToolsController::previousTool() {
  const qint64 count = qint64(tools_.size());
  qint64 index = selectedToolIndex_ == 0 ? count : selectedToolIndex_;
  for (qint64 step = 0; step < count; ++step) {
    index = index == 0 ? count - 1 : index - 1;
    if (tools_[size_t(index)]->isUsable()) return setSelectedToolIndex(index);
  }
}

bool IMToolsController::selectToolOfClassOf(const IMTool* tool) {
  if (!tool) return false;
  for (size_t i = 0; i < tools_.size(); ++i)
    if (typeid(*tools_[i]) == typeid(*tool)) return trySetSelectedToolIndex(qint64(i));
  return false;
}

void IMToolsController::selectDefaultTool() { selectToolOfClass<IMLayerDragingTool>(); }

void IMToolsController::resetCurentTool() {
  if (savedTool_ && savedTool_->isUsable())
    selectToolOfClassOf(savedTool_);
  else
    selectDefaultTool();
}

void IMToolsController::updateEnablingOfTools() {
  if (tools_.empty() || !toolsChooser_) return;
  for (size_t i = 0; i < tools_.size(); ++i)
    toolsChooser_->setEnabled(tools_[i]->isUsable(), int(i));
  if (IMTool* tool = selectedTool(); tool && !tool->isUsable()) resetCurentTool();
}

void IMToolsController::updateToolBarWithLogo(const gfx::ImagePtr& logo) {
  if (toolsChooser_) toolsChooser_->setImage(IMToolImages::iconOf(logo), int(selectedToolIndex_));
}

// ---- Tools by role and the selection ----

IMCIPointTool* IMToolsController::CIPointTool() const { return toolForClass<IMCIPointTool>(); }

IMCropMarkerTool* IMToolsController::rectSelectionTool() const {
  return toolForClass<IMCropMarkerTool>();
}

IMLassoTool* IMToolsController::lassoSelectionTool() const { return toolForClass<IMLassoTool>(); }

IMGradientTool* IMToolsController::gradientTool() const { return toolForClass<IMGradientTool>(); }

IMSelectionTool* IMToolsController::selectionTool() const {
  IMLassoTool* lasso = lassoSelectionTool();
  if (lasso && lasso->hasSelection()) return lasso;
  return rectSelectionTool();
}

bool IMToolsController::hasSelection() {
  IMSelectionTool* tool = selectionTool();
  return tool && tool->hasSelection();
}

bool IMToolsController::hasRectSelection() const {
  IMCropMarkerTool* tool = rectSelectionTool();
  return tool && tool->hasSelection();
}

QRectF IMToolsController::selectedRect() {
  IMSelectionTool* tool = selectionTool();
  return tool ? tool->selectedRect() : QRectF();
}

QRectF IMToolsController::rectSelectedRect() const {
  return hasRectSelection() ? rectSelectionTool()->selectedRect() : QRectF();
}

// One selection at a time: a rectangle clears the lasso's.
void IMToolsController::setRectSelectedRect(const QRectF& rect) {
  IMCropMarkerTool* tool = rectSelectionTool();
  if (!tool) return;
  willChangeValueForKey("rectSelectedRect");
  tool->setSelectedRect(rect);
  if (tool->hasSelection())
    if (IMLassoTool* lasso = lassoSelectionTool()) lasso->setSelectedRect(QRectF());
  didChangeValueForKey("rectSelectedRect");
}

void IMToolsController::deselect() {
  if (IMLassoTool* lasso = lassoSelectionTool()) {
    lasso->setSelectedRect(QRectF());
    lasso->setSelectedPath(gfx::BezierPath());
  }
  if (IMCropMarkerTool* rect = rectSelectionTool()) rect->setSelectedRect(QRectF());
}

void IMToolsController::selectAll() {
  IMCropMarkerTool* tool = rectSelectionTool();
  if (!tool) return;
  tool->selectAll();
  selectToolOfClass<IMCropMarkerTool>();
}

ci::Image IMToolsController::selectionMaskWithSize(const QSize& size) {
  IMSelectionTool* tool = selectionTool();
  return tool ? tool->selectionMaskWithSize(size) : ci::Image();
}

void IMToolsController::nonDestructiveCropLayers(const QList<Layer*>& layers) {
  if (IMCropMarkerTool* tool = rectSelectionTool()) tool->nonDestructiveCropLayers(layers);
}

void IMToolsController::destructiveCropLayers(const QList<Layer*>& layers) {
  if (IMCropMarkerTool* tool = rectSelectionTool()) tool->destructiveCropLayers(layers);
}

ci::Image IMToolsController::applySelectionMaskToImage(const ci::Image& image) {
  return hasSelection() ? selectionTool()->applyMaskToImage(image) : ci::Image();
}

ci::Image IMToolsController::applyMaskOnlyOnSelectedContent(const ci::Image& mask,
                                                            const ci::Image& image) {
  return hasSelection() ? selectionTool()->applyMaskOnlyOnSelectedContent(mask, image)
                        : ci::Image();
}

void IMToolsController::selectLayerDragingTool() { selectToolOfClass<IMLayerDragingTool>(); }

// ---- What the settings strip and the menus read ----

bool IMToolsController::usingColor2() const {
  IMTool* tool = selectedTool();
  return tool && tool->isUsingColor2();
}

bool IMToolsController::usingSize() const {
  IMTool* tool = selectedTool();
  return tool && tool->isUsingSize();
}

bool IMToolsController::usingRoundedRect() const {
  IMTool* tool = selectedTool();
  return tool && tool->isUsingRoundedRect();
}

bool IMToolsController::usingGradient() const {
  return dynamic_cast<IMGradientTool*>(selectedTool()) != nullptr;
}

bool IMToolsController::usingCITool() const {
  return dynamic_cast<IMCITool*>(selectedTool()) != nullptr;
}

bool IMToolsController::usingTextTool() const {
  return dynamic_cast<IMTextTool*>(selectedTool()) != nullptr;
}

bool IMToolsController::usingLayerDragingTool() const {
  return dynamic_cast<IMLayerDragingTool*>(selectedTool()) != nullptr;
}

// ---- Marching ants ----

void IMToolsController::startAnimation() {
  stopImmediatellyAnimation();
  std::weak_ptr<int> alive = alive_;
  animationTimer_ =
      fnd::Timer::scheduledTimer(kAnimationInterval, true, [this, alive](fnd::Timer&) {
        if (!alive.expired()) animateSelections();
      });
}

void IMToolsController::stopImmediatellyAnimation() {
  if (animationTimer_) animationTimer_->invalidate();
  animationTimer_.reset();
}

// Each tick redraws only what the dashes cover: the selection's outline
// and the point tool's area, never the canvas inside the outline.
void IMToolsController::animateSelections() {
  QList<QRectF> rects;
  bool animated = false;
  if (hasSelection()) {
    rects = selectionTool()->outlineBandRects();
    animated = true;
  }
  if (auto* point = dynamic_cast<IMCIPointTool*>(selectedTool())) {
    rects.append(point->clippingRect());
    animated = true;
  }
  if (!animated) {
    animationTime_ = 0;
    return;
  }
  animationTime_ = (animationTime_ + 1) % 100;
  if (IMView* view = mainView())
    for (const QRectF& rect : rects) view->setNeedsDisplayOfOverlaysInRect(rect);
}

// ---- Window hooks ----

void IMToolsController::canvasLostFocus() { endGestureUndoGrouping(); }

// The current selection's ants under the current tool's own drawing.
void IMToolsController::drawOverlaysInRect(const QRectF&) {
  IMTool* tool = selectedTool();
  if (!dynamic_cast<IMSelectionTool*>(tool))
    if (IMSelectionTool* selection = selectionTool()) selection->draw();
  if (tool) tool->draw();
}

unsigned IMToolsController::altPressed(const ui::Event& event) {
  return event.modifierFlags() & ui::AlternateKeyMask;
}

unsigned IMToolsController::commandPressed(const ui::Event& event) {
  return event.modifierFlags() & ui::CommandKeyMask;
}

// ---- Key-value access ----

QVariant IMToolsController::valueForKey(const QString& key) const {
  if (key == "selectedToolIndex") return selectedToolIndex_;
  if (key == "animationTime") return animationTime_;
  if (key == "usingColor") return usingColor();
  if (key == "usingColor2") return usingColor2();
  if (key == "usingSize") return usingSize();
  if (key == "usingRoundedRect") return usingRoundedRect();
  if (key == "usingGradient") return usingGradient();
  if (key == "usingCITool") return usingCITool();
  if (key == "usingTextTool") return usingTextTool();
  if (key == "usingLayerDragingTool") return usingLayerDragingTool();
  if (key == "hasRectSelection") return hasRectSelection();
  if (key == "rectSelectedRect") return rectSelectedRect();
  auto* self = const_cast<IMToolsController*>(this);
  if (key == "hasSelection") return self->hasSelection();
  const QRectF selected = self->selectedRect();
  if (key == "selectedRect") return selected;
  if (key == "selectedX") return selected.x();
  if (key == "selectedY") return selected.y();
  if (key == "selectedWidth") return selected.width();
  if (key == "selectedHeight") return selected.height();
  return fnd::Observable::valueForKey(key);
}

void IMToolsController::setValueForKey(const QString& key, const QVariant& value) {
  if (key == "selectedToolIndex") return setSelectedToolIndex(value.toLongLong());
  if (key == "rectSelectedRect") return setRectSelectedRect(value.toRectF());
  fnd::Observable::setValueForKey(key, value);
}

QSet<QString> IMToolsController::keyPathsForValuesAffectingValueForKey(const QString& key) const {
  static const QSet<QString> byTool = {"usingGradient", "usingCITool", "usingColor",
                                       "usingColor2",   "usingSize",   "usingRoundedRect",
                                       "usingTextTool", "selectedTool"};
  static const QSet<QString> byRect = {"selectedX", "selectedY", "selectedWidth", "selectedHeight"};
  QSet<QString> keys = fnd::Observable::keyPathsForValuesAffectingValueForKey(key);
  if (byTool.contains(key)) keys.insert("selectedToolIndex");
  if (byRect.contains(key)) keys.insert("selectedRect");
  if (key == "hasRectSelection") keys.insert("rectSelectedRect");
  return keys;
}
