#include "tools/IMToolSelectionMask.h"

#include <QTransform>
#include <cmath>

#include "model/IMImagesUtilities.h"
#include "tools/IMToolsController.h"

// The selection's coverage comes as a mask the size of the selected
// rectangle (null when the whole rectangle is selected); it is placed over
// the rectangle, and nothing outside the rectangle survives.
ci::Image IMToolMaskedBySelection(IMToolsController* toolsController, const ci::Image& image) {
  if (!toolsController || image.isNull() || !toolsController->hasSelection()) return image;
  const QRectF rect = toolsController->selectedRect();
  if (rect.isEmpty()) return ci::Image::emptyImage();
  const ci::Image cropped = image.imageByCroppingToRect(rect);
  const QSize size(int(std::ceil(rect.width())), int(std::ceil(rect.height())));
  const ci::Image mask = toolsController->selectionMaskWithSize(size);
  if (mask.isNull()) return cropped;
  return ima_maskWithImage(
      cropped, mask.imageByApplyingTransform(QTransform::fromTranslate(rect.x(), rect.y())));
}
