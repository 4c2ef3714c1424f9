#include "model/FlipImageUnit.h"

#include "foundation/Localized.h"

namespace {

// The image input; its value class is its only attribute besides the
// display name the platform derives from the key.
ci::FilterInput imageInput() {
  ci::FilterInput input;
  input.key = ci::kCIInputImageKey;
  input.className = ci::kClassCIImage;
  return input;
}

}  // namespace

FlipImageUnit::FlipImageUnit(const QString& name, const QVariantMap& classAttributes)
    : ci::Filter(name, {imageInput()}, classAttributes) {}

QVariantMap FlipImageUnit::flipClassAttributes(const QString& displayName,
                                               const QString& description) {
  return {{ci::kCIAttributeFilterDisplayName, fnd::localized(displayName)},
          {ci::kCIAttributeDescription, fnd::localized(description)},
          {ci::kCIAttributeFilterCategories,
           QStringList{ci::kCICategoryGeometryAdjustment, ci::kCICategoryStillImage}}};
}

ci::Image FlipImageUnit::inputImage() const { return imageValue(ci::kCIInputImageKey); }

void FlipImageUnit::setInputImage(const ci::Image& image) {
  setValue(image.isNull() ? QVariant() : QVariant::fromValue(image), ci::kCIInputImageKey);
}

std::optional<gfx::AffineTransform> FlipImageUnit::affineTransformWithImageExtent(
    const QRectF&) const {
  return std::nullopt;
}

ci::Image FlipImageUnit::outputImage() const {
  const ci::Image image = inputImage();
  const QRectF extent = image.isNull() ? QRectF() : image.extent();
  ci::FilterPtr transform = ci::Filter::filterWithName(QStringLiteral("CIAffineTransform"));
  if (!transform) return {};
  if (!image.isNull()) transform->setValue(QVariant::fromValue(image), ci::kCIInputImageKey);
  // Without a flip the transform keeps its default, the identity.
  if (const auto flip = affineTransformWithImageExtent(extent))
    transform->setValue(QVariant::fromValue(*flip), ci::kCIInputTransformKey);
  return transform->outputImage();
}
