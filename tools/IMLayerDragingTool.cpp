#include "tools/IMLayerDragingTool.h"

#include <QTransform>

#include "appkit/Cursor.h"
#include "foundation/Localized.h"
#include "graphics/BitmapImageRep.h"
#include "model/ComposedImage.h"
#include "model/IMImagesUtilities.h"
#include "model/Image.h"
#include "model/Layer.h"
#include "tools/IMToolImages.h"
#include "tools/IMToolsController.h"
#include "window/IMLayersArrayController.h"

namespace {

cd::ObjectList objectListOf(const QList<Layer*>& layers) {
  cd::ObjectList objects;
  for (Layer* layer : layers) objects.append(layer);
  return objects;
}

// The part of `flat` (the canvas) under the selection, from the origin.
gfx::ImagePtr selectedPixels(IMToolsController* controller, const ci::Image& flat,
                             const QRectF& rect) {
  const ci::Image masked = controller->applySelectionMaskToImage(flat);
  if (masked.isNull()) return nullptr;
  const ci::Image cut = masked.imageByCroppingToRect(rect).imageByApplyingTransform(
      QTransform::fromTranslate(-rect.x(), -rect.y()));
  return ima_nsImageWithSize(cut.imageByCroppingToRect(QRectF(QPointF(), rect.size())),
                             rect.size());
}

// Pixels drawn now: a drawing left for later would show the layer as it is
// after the cut, its lifted part already gone.
gfx::ImagePtr drawnNow(const gfx::ImagePtr& image) {
  gfx::BitmapImageRepPtr pixels = image ? ima_bitmapRepresentation(image) : nullptr;
  return pixels ? gfx::Image::imageWithCGImage(pixels->cgImage(), image->size()) : nullptr;
}

}  // namespace

bool IMLayerDragingTool::isUsable() {
  IMLayersArrayController* layers =
      toolsController() ? toolsController()->layersController() : nullptr;
  return layers && layers->atLeastOneLayerVisible();
}

gfx::ImagePtr IMLayerDragingTool::logo() const { return IMToolImages::imageNamed("arrowTemplate"); }

QCursor IMLayerDragingTool::defaultCursor() const { return ui::Cursor::arrowCursor(); }

QCursor IMLayerDragingTool::altCursor() const { return ui::Cursor::dragCopyCursor(); }

bool IMLayerDragingTool::moveMode() const {
  IMToolsController* controller = toolsController();
  return !(controller && controller->hasSelection()) && !altPressed();
}

void IMLayerDragingTool::setTemporyNewLayers(const QList<Layer*>& layers) {
  if (layers != temporyNewLayers_) temporyNewLayers_ = layers;
}

void IMLayerDragingTool::mouseDownAtLocation(const QPointF&) {
  IMLayersArrayController* layers =
      toolsController() ? toolsController()->layersController() : nullptr;
  moved_ = false;
  if (!layers) return;
  if (!moveMode()) liftSelectedLayers();
  for (Layer* layer : layers->selectedLayers()) layer->setSavedOrigin(layer->origin());
}

// The selection as it was at the press: lifting makes and selects layers.
// Lifted from the lowest up, each new layer just above its source, so the
// picture looks the same before the pointer moves.
void IMLayerDragingTool::liftSelectedLayers() {
  IMToolsController* controller = toolsController();
  IMLayersArrayController* layers = controller->layersController();
  const QList<Layer*> selected = layers->selectedLayers();
  setTemporyNewLayers({});
  for (auto layer = selected.rbegin(); layer != selected.rend(); ++layer) mouseDownOnLayer(*layer);
  if (!temporyNewLayers_.isEmpty()) {
    layers->setSelectedObjects(objectListOf(temporyNewLayers_));
    layers->setUndoActionName(altPressed() ? fnd::localized("Copy to New Layer")
                                           : fnd::localized("Cut to New Layer"));
  } else {
    layers->setSelectedObjects(objectListOf(selected));
  }
  setTemporyNewLayers({});
  controller->deselect();
}

// Hidden, empty, text and vector layers have no pixels to lift.
void IMLayerDragingTool::mouseDownOnLayer(Layer* layer) {
  IMToolsController* controller = toolsController();
  IMLayersArrayController* layers = controller ? controller->layersController() : nullptr;
  ComposedImage* composed = controller ? controller->composedImage() : nullptr;
  if (!layers || !composed || !layer || !layer->isCoreImage() || layer->isText() ||
      !layer->visible() || layer->isEmpty())
    return;
  const bool hasSelection = controller->hasSelection();
  const QRectF s = hasSelection ? controller->selectedRect() : QRectF();
  if (hasSelection && s.isEmpty()) return;
  gfx::ImagePtr image = composed->finalImageKeepAlpha(true, {layer});
  if (!image) return;
  if (hasSelection) image = selectedPixels(controller, ima_ciImage(image), s);
  image = drawnNow(image);
  if (!image) return;
  layers->setSelectedObjects({layer});
  Layer* lifted = layers->obtainANewLayerIsText(false);
  if (!lifted || lifted == layer || !lifted->image()) return;
  lifted->image()->setNsImage(image);
  if (hasSelection) lifted->setOrigin(s.topLeft());
  if (hasSelection && !altPressed())
    layer->deleteWithMask(controller->selectionMaskWithSize(s.size().toSize()), s, false);
  temporyNewLayers_.append(lifted);
}

void IMLayerDragingTool::mouseDraggedAtLocation(const QPointF& location) {
  IMLayersArrayController* layers =
      toolsController() ? toolsController()->layersController() : nullptr;
  if (!layers) return;
  const QPointF offset = location - mouseDownLocation();
  for (Layer* layer : layers->selectedLayers()) layer->setOrigin(layer->savedOrigin() + offset);
  moved_ = true;
}

void IMLayerDragingTool::mouseUpAtLocation(const QPointF&) {
  IMLayersArrayController* layers =
      toolsController() ? toolsController()->layersController() : nullptr;
  if (!layers) return;
  if (moveMode() && lastEvent().clickCount() == 2) {
    layers->moveObjectsInArrangedObjectsFromIndexes(layers->selectionIndexes(), 0);
    return;
  }
  if (moved_) layers->setUndoActionName(fnd::localized("Move Layer"));
}
