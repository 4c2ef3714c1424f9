#include "model/FlipImageHUnit.h"

#include "coreimage/Rect.h"

namespace {
const QString kRegistryName = QStringLiteral("FlipImageHUnit");
}

FlipImageHUnit::FlipImageHUnit() : FlipImageUnit(kRegistryName, classAttributes()) {}

QVariantMap FlipImageHUnit::classAttributes() {
  return flipClassAttributes(QStringLiteral("Flip Vertically"),
                             QStringLiteral("Flip the image vertically."));
}

void FlipImageHUnit::registerFilter() {
  ci::Filter::registerFilterName(
      kRegistryName, [](const QString&) { return std::make_shared<FlipImageHUnit>(); },
      classAttributes());
}

std::optional<gfx::AffineTransform> FlipImageHUnit::affineTransformWithImageExtent(
    const QRectF& extent) const {
  // Operations prepend: the scale applies first, then the translation.
  gfx::AffineTransform flip;
  if (!ci::isInfinite(extent)) flip.translateXBy(0, extent.height());
  flip.scaleXBy(1, -1);
  return flip;
}
