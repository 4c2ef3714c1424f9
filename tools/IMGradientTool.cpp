#include "tools/IMGradientTool.h"

#include <cmath>

#include "coreimage/Filter.h"
#include "coreimage/FilterConstants.h"
#include "coreimage/Vector.h"
#include "model/ComposedImage.h"
#include "model/Layer.h"
#include "model/Settings.h"
#include "tools/IMToolImages.h"
#include "tools/IMToolSelectionMask.h"
#include "tools/IMToolsController.h"

namespace {

ci::Image filterOutput(const QString& name, const QVariantMap& inputs) {
  ci::FilterPtr filter = ci::Filter::filterWithName(name);
  if (!filter) return {};
  filter->setDefaults();
  for (auto it = inputs.begin(); it != inputs.end(); ++it) filter->setValue(it.value(), it.key());
  return filter->outputImage();
}

QVariant vector(const QPointF& point) {
  return QVariant::fromValue(ci::Vector::vectorWithCGPoint(point));
}

}  // namespace

IMGradientTool::IMGradientTool(IMToolsController* toolsController)
    : IMModeTool(toolsController, {"gradientToolTemplate", "radialGradientToolTemplate"}) {}

ci::Color IMGradientTool::gradientCIColor() const {
  std::shared_ptr<Settings> s = settings();
  return ci::Color::colorWithQColor(s ? s->color2() : QColor(Qt::white));
}

double IMGradientTool::gradientRadiusWithLocation(const QPointF& location) const {
  const QPointF d = location - mouseDownLocation();
  return std::hypot(d.x(), d.y());
}

// A linear gradient whose two points meet has no direction: everything
// lies past its zero-length ramp, so it is colour 2 throughout, as a radial
// gradient of radius 0 is.
ci::Image IMGradientTool::gradientImageAtLocation(const QPointF& location) const {
  const QPointF m = mouseDownLocation();
  const QVariant color0 = QVariant::fromValue(color());
  const QVariant color1 = QVariant::fromValue(gradientCIColor());
  if (mode() == 0) {
    const QPointF e = modifiedPointFromPoint(m, location, false, modifierFlags());
    if (e == m)
      return filterOutput(QStringLiteral("CIConstantColorGenerator"), {{"inputColor", color1}});
    return filterOutput(QStringLiteral("CILinearGradient"), {{"inputPoint0", vector(m)},
                                                             {"inputPoint1", vector(e)},
                                                             {"inputColor0", color0},
                                                             {"inputColor1", color1}});
  }
  return filterOutput(QStringLiteral("CIRadialGradient"),
                      {{ci::kCIInputCenterKey, vector(m)},
                       {"inputRadius0", 0.0},
                       {"inputRadius1", gradientRadiusWithLocation(location)},
                       {"inputColor0", color0},
                       {"inputColor1", color1}});
}

void IMGradientTool::drawAtLocation(const QPointF& location) {
  IMToolsController* controller = toolsController();
  Layer* layer = controller ? controller->workingLayer() : nullptr;
  if (!layer) return;
  ci::Image image = gradientImageAtLocation(location);
  if (image.isNull()) return;
  if (controller->hasSelection()) {
    ComposedImage* composed = layer->composedImage();
    const QSizeF size = composed ? composed->size() : QSizeF();
    image = IMToolMaskedBySelection(controller,
                                    image.imageByCroppingToRect(QRectF(QPointF(0, 0), size)));
  }
  layer->setImageWithCIImageAndOriginUpdate(image);
}

gfx::ImagePtr IMGradientTool::linearLogo() {
  static const gfx::ImagePtr image = IMToolImages::imageNamed("gradientToolTemplate");
  return image;
}

gfx::ImagePtr IMGradientTool::radialLogo() {
  static const gfx::ImagePtr image = IMToolImages::imageNamed("radialGradientToolTemplate");
  return image;
}
