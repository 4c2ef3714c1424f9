#include "tools/IMPencilTool.h"

#include "appkit/Cursor.h"
#include "coreimage/FilterConstants.h"
#include "tools/IMToolImages.h"

IMPencilTool::IMPencilTool(IMToolsController* toolsController) : IMCITool(toolsController) {
  brushFilter_ = ci::Filter::filterWithName(QStringLiteral("CIRadialGradient"));
  if (brushFilter_) {
    brushFilter_->setValue(QVariant::fromValue(ci::Color(0, 0, 0, 0)), "inputColor1");
    brushFilter_->setValue(0.0, "inputRadius0");
  }
  compositeFilter_ = ci::Filter::filterWithName(CICompositingOperation());
}

void IMPencilTool::setCompositeFilter(const ci::FilterPtr& filter) {
  if (filter == compositeFilter_) return;
  if (filter && compositeFilter_ && filter->name() == compositeFilter_->name() &&
      filter->inputKeys() == compositeFilter_->inputKeys()) {
    bool same = true;
    for (const QString& key : filter->inputKeys())
      same = same && filter->valueForKey(key) == compositeFilter_->valueForKey(key);
    if (same) return;
  }
  compositeFilter_ = filter;
}

// A brush of size 1 draws a dab of radius 5 that the engine cuts to the
// pixel under the point, so that pixel gets the full colour.
ci::Image IMPencilTool::imageWithPoint(const QPointF& point, double pressure,
                                       const ci::Image& backGroundImage) {
  if (!brushFilter_ || !compositeFilter_) return {};
  const double radius = toolSize() == 1 ? 5 : toolSize() * pressure;
  brushFilter_->setValue(radius, "inputRadius1");
  brushFilter_->setValue(QVariant::fromValue(color()), "inputColor0");
  brushFilter_->setValue(QVariant::fromValue(ci::Vector::vectorWithCGPoint(point)),
                         ci::kCIInputCenterKey);
  compositeFilter_->setValue(QVariant::fromValue(brushFilter_->outputImage()),
                             ci::kCIInputImageKey);
  compositeFilter_->setValue(QVariant::fromValue(backGroundImage), ci::kCIInputBackgroundImageKey);
  return compositeFilter_->outputImage();
}

gfx::ImagePtr IMPencilTool::logo() const { return IMToolImages::imageNamed("brushTemplate"); }

QCursor IMPencilTool::defaultCursor() const {
  const QImage image = IMToolImages::pixelsOf(IMToolImages::imageNamed("brushTool"));
  const double height = image.height() / image.devicePixelRatio();
  return ui::Cursor::cursorWithImage(image, QPointF(3, height - 2));
}
