#include "tools/IMToolSelectionMask.h"

#include <QTransform>
#include <cmath>

#include "model/IMImagesUtilities.h"
#include "tools/IMToolsController.h"

// The selection's coverage comes in document coordinates, black up to the
// size asked for; nothing outside the selected rectangle survives.
ci::Image IMToolMaskedBySelection(IMToolsController* toolsController, const ci::Image& image) {
  if (!toolsController || image.isNull() || !toolsController->hasSelection()) return image;
  const QRectF rect = toolsController->selectedRect();
  if (rect.isEmpty()) return ci::Image::emptyImage();
  const ci::Image cropped = image.imageByCroppingToRect(rect);
  const QSize size(int(std::ceil(rect.right())), int(std::ceil(rect.bottom())));
  const ci::Image mask = toolsController->selectionMaskWithSize(size);
  if (mask.isNull()) return cropped;
  return ima_maskWithImage(cropped, mask);
}
