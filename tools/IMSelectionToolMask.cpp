// The selection's mask and how the rest of the program is confined by it:
// fills and copies through the mask in document coordinates, brush
// strokes and filters through a mask taken into the working layer.
#include <QTransform>

#include "coreimage/FilterConstants.h"
#include "model/IMImagesUtilities.h"
#include "tools/IMSelectionTool.h"

namespace {

QVariant imageValue(const ci::Image& image) { return QVariant::fromValue(image); }

// Lazy, so a canvas-sized mask costs nothing until the pixels it covers
// are asked for.
ci::Image blackOver(const QSize& size) {
  return ci::Image::imageWithColor(ci::Color(0, 0, 0, 1))
      .imageByCroppingToRect(QRectF(QPointF(0, 0), QSizeF(size)));
}

}  // namespace

ci::Image IMSelectionTool::maskForSelection() const {
  return ima_maskWithPath(selectedPath_, selectedRect_);
}

// The mask sits at (0, 0), so a move that keeps the outline's shape keeps
// it right; only a new outline needs a new mask.
void IMSelectionTool::loadSelectionMask() {
  if (!hasSelection()) return;
  mask_ = maskForSelection();
}

ci::Image IMSelectionTool::selectionMaskWithSize(const QSize& size) const {
  const ci::Image black = blackOver(size);
  if (mask_.isNull()) return black;
  const QTransform toSelection = QTransform::fromTranslate(selectedRect_.x(), selectedRect_.y());
  const ci::Image placed = mask_.imageByApplyingTransform(toSelection, ci::Sampling::Nearest);
  return ima_composeOtherImage(placed, black);
}

ci::Image IMSelectionTool::applyMaskToImage(const ci::Image& image) const {
  if (image.isNull()) return {};
  return ima_maskWithImage(image, selectionMaskWithSize(image.extent().size().toSize()));
}

ci::Image IMSelectionTool::applyMaskOnlyOnSelectedContent(const ci::Image& contentMask,
                                                          const ci::Image& image) const {
  if (image.isNull()) return {};
  const ci::Image inLayer = ima_transformedImageWithTransform(
      selectionMaskWithSize(image.extent().size().toSize()), documentToLayerTransformation());
  const ci::Image outside = inLayer.imageByApplyingFilter(QStringLiteral("CIColorInvert"));
  const ci::Image combined =
      outside.imageByApplyingFilter(QStringLiteral("CILightenBlendMode"),
                                    {{ci::kCIInputBackgroundImageKey, imageValue(contentMask)}});
  return ima_maskWithImage(image, combined);
}
