// Copying layers, or the selected pixels of them, to the general pasteboard,
// and deleting them with the same selection.
#include <QTransform>

#include "appkit/core/Beep.h"
#include "appkit/core/Pasteboard.h"
#include "coreimage/Rect.h"
#include "foundation/GeometryStrings.h"
#include "model/IMImagesUtilities.h"
#include "model/Layer.h"
#include "window/IMLayersArrayController.h"
#include "window/IMLayersPanelWindow.h"
#include "window/IMWindowTools.h"

namespace {

const QString kImageOriginType = QStringLiteral("com.brenwick.layer.ImageOriginType");

// The selected part of `image`, moved to the origin where the tool's mask
// lies (the mask covers the selected rectangle from (0, 0)).
ci::Image selectedPixels(const ci::Image& image, IMWindowTools* tool, const QRectF& rect) {
  ci::Image cut = image.imageByCroppingToRect(rect).imageByApplyingTransform(
      QTransform::fromTranslate(-rect.x(), -rect.y()));
  ci::Image mask = tool->selectionMaskWithSize(rect.size().toSize());
  // A mask drawn where the rectangle lies is brought to the origin too.
  if (!mask.isNull() && !ci::isInfinite(mask.extent()) && mask.extent().topLeft() != QPointF())
    mask = mask.imageByApplyingTransform(
        QTransform::fromTranslate(-mask.extent().x(), -mask.extent().y()));
  if (!mask.isNull()) cut = ima_maskWithImage(cut, mask);
  return cut.imageByCroppingToRect(QRectF(QPointF(0, 0), rect.size()));
}

}  // namespace

void IMLayersArrayController::copyLayers(const QList<Layer*>& layers, IMWindowTools* tool,
                                         const QRectF& rect) {
  const bool hasSelection = tool && tool->hasSelection() && !rect.isEmpty();
  const gfx::ImagePtr flat =
      layers.isEmpty() ? imageOfLayersInRect(QRectF()) : imageOfLayers(layers);
  // Whole layers are copied as flattened: the flat image is already their
  // pixels, and rendering it again would only copy them.
  gfx::ImagePtr copied = hasSelection || ima_ciImage(flat).isNull() ? nullptr : flat;
  if (hasSelection)
    if (const ci::Image image = ima_ciImage(flat); !image.isNull())
      copied = ima_nsImageWithSize(selectedPixels(image, tool, rect), rect.size());
  if (!copied) return ui::beep();

  QList<ui::PasteboardObject> objects;
  if (hasSelection) {
    ui::PasteboardItem origin;
    origin.setStringForType(fnd::stringFromRect(rect), kImageOriginType);
    objects.append(origin);
  }
  objects.append(copied);
  ui::Pasteboard& pasteboard = ui::Pasteboard::generalPasteboard();
  // What was there comes back when the write is refused: a failed copy
  // must not cost the user what they copied before.
  QList<ui::PasteboardObject> before;
  for (const ui::PasteboardItem& item : pasteboard.pasteboardItems()) before.append(item);
  pasteboard.clearContents();
  if (pasteboard.writeObjects(objects)) return;
  pasteboard.clearContents();
  if (!before.isEmpty()) pasteboard.writeObjects(before);
  ui::beep();
}

void IMLayersArrayController::deleteLayers(const QList<Layer*>& layers, IMWindowTools* tool,
                                           const QRectF& rect) {
  if (!tool || !tool->hasSelection()) return deleteLayers(layers);
  const ci::Image mask = tool->selectionMaskWithSize(rect.size().toSize());
  deleteLayers(layers.isEmpty() ? arrangedLayers() : layers, mask, rect);
  tool->deselect();
}

void IMLayersArrayController::customCopyObjects(const cd::ObjectList& objects) {
  // A click beside the rows copies nothing, not every layer.
  if (objects.isEmpty()) return;
  IMLayersPanelWindow* window = dynamic_cast<IMLayersPanelWindow*>(windowController());
  IMWindowTools* tool = window ? window->selectionTool() : nullptr;
  copyLayers(layersOf(objects), tool, tool ? tool->selectedRect() : QRectF());
}
