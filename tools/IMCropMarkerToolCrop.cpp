// Select all and the two crops of the rectangle selection tool.
#include "coredata/ManagedObjectContext.h"
#include "graphics/GraphicsContext.h"
#include "model/ComposedImage.h"
#include "model/IMImagesUtilities.h"
#include "model/Image.h"
#include "model/Layer.h"
#include "tools/IMCropMarkerTool.h"
#include "tools/IMToolsController.h"
#include "window/IMLayersArrayController.h"

namespace {

// The layer alone over `rect`, as it shows with its placement, opacity and
// filters, but whether or not it is hidden and without its compositing
// operation: drawn onto nothing, an operation such as destination-out
// would leave nothing of it.
gfx::ImagePtr flattenedLayer(Layer* layer, const QRectF& rect) {
  return ima_imageWithPixelSize(rect.size(), [&](const QRectF&) {
    gfx::GraphicsContext* context = gfx::GraphicsContext::current();
    if (!context) return false;
    context->translateCTM(-rect.x(), -rect.y());
    layer->drawIsForceQuartz(true, true, false, true, false, false, rect);
    return true;
  });
}

// The text layer's pixels as a bitmap layer at its place in the stack,
// looking as it did: hidden if it was, with its compositing operation.
void replaceTextLayer(IMLayersArrayController* layers, Layer* text, const gfx::ImagePtr& pixels,
                      const QPointF& origin) {
  const int index = int(layers->arrangedLayers().indexOf(text));
  if (index < 0) return;
  const unsigned added =
      layers->addLayerAndImage(pixels, QString(), origin, unsigned(index), false);
  const QList<Layer*> arranged = layers->arrangedLayers();
  if (added < unsigned(arranged.size())) {
    Layer* bitmap = arranged[int(added)];
    bitmap->setVisible(text->visible());
    bitmap->setCompositingOperation(text->compositingOperation());
  }
  layers->removeAndDeleteLayers({text});
}

}  // namespace

void IMCropMarkerTool::selectAll() {
  IMToolsController* controller = toolsController();
  ComposedImage* image = controller ? controller->composedImage() : nullptr;
  if (!image) return;
  controller->deselect();
  setSelectedRect(image->rect());
  loadSelectionMask();
}

// From the last layer to the first, as the stack is drawn.
void IMCropMarkerTool::nonDestructiveCropLayers(const QList<Layer*>& layers) {
  ComposedImage* image = toolsController() ? toolsController()->composedImage() : nullptr;
  if (!image || !hasSelection()) return;
  const QRectF s = selectedRect();
  for (qsizetype i = layers.size() - 1; i >= 0; --i)
    layers[i]->setOrigin({layers[i]->xOrigin() - s.x(), layers[i]->yOrigin() - s.y()});
  image->setWidth(s.width());
  image->setHeight(s.height());
  setSelectedRect(QRectF());
}

void IMCropMarkerTool::destructiveCropLayers(const QList<Layer*>& layers) {
  IMToolsController* controller = toolsController();
  ComposedImage* image = controller ? controller->composedImage() : nullptr;
  IMLayersArrayController* list = controller ? controller->layersController() : nullptr;
  if (!image || !list) return;
  // Without a selection each layer is flattened whole, at the origin.
  const QRectF s = selectedRect().isEmpty() ? image->rect() : selectedRect();
  const QPointF origin = selectedRect().isEmpty() ? QPointF(0, 0) : QPointF(s.x(), s.y());
  for (Layer* layer : layers) {
    const gfx::ImagePtr pixels = flattenedLayer(layer, s);
    if (layer->isText()) {
      replaceTextLayer(list, layer, pixels, origin);
      continue;
    }
    Image* stored = layer->image();
    if (!stored) continue;
    const bool visible = layer->visible();
    stored->setNsImage(pixels);
    layer->resetPersistentGraphicalPropertiesKeepingNonVisibleFilters(true);
    layer->setOrigin(origin);
    layer->setVisible(visible);
  }
  setSelectedRect(QRectF());
}
