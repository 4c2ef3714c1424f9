#include "model/FlipImageVUnit.h"

#include "coreimage/Rect.h"

namespace {
const QString kRegistryName = QStringLiteral("FlipImageVUnit");
}

FlipImageVUnit::FlipImageVUnit() : FlipImageUnit(kRegistryName, classAttributes()) {}

QVariantMap FlipImageVUnit::classAttributes() {
  return flipClassAttributes(QStringLiteral("Flip Horizontally"),
                             QStringLiteral("Flip the image horizontally."));
}

void FlipImageVUnit::registerFilter() {
  ci::Filter::registerFilterName(
      kRegistryName, [](const QString&) { return std::make_shared<FlipImageVUnit>(); },
      classAttributes());
}

std::optional<gfx::AffineTransform> FlipImageVUnit::affineTransformWithImageExtent(
    const QRectF& extent) const {
  // Operations prepend: the scale applies first, then the translation.
  gfx::AffineTransform flip;
  if (!ci::isInfinite(extent)) flip.translateXBy(extent.width(), 0);
  flip.scaleXBy(-1, 1);
  return flip;
}
