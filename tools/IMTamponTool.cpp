#include "tools/IMTamponTool.h"

#include "appkit/Cursor.h"
#include "coreimage/Filter.h"
#include "coreimage/FilterConstants.h"
#include "model/IMImagesUtilities.h"
#include "model/Image.h"
#include "model/Layer.h"
#include "tools/IMToolImages.h"
#include "tools/IMToolsController.h"

bool IMTamponTool::isUsable() {
  Layer* layer = toolsController() ? toolsController()->workingLayer() : nullptr;
  return layer && CIToolIsUsable() && !layer->isEmpty();
}

bool IMTamponTool::isUsableAtLocation(const QPointF& location) {
  return altPressed() || IMCITool::isUsableAtLocation(location);
}

void IMTamponTool::mouseDownAtLocation(const QPointF& location) {
  if (altPressed()) {
    weAreChangingCenter_ = true;
    return;
  }
  if (toCopyDistance_.isNull()) {
    const QPointF offset = location - toCopyCenter_;
    toCopyDistance_ = QSizeF(offset.x(), offset.y());
  }
  IMCITool::mouseDownAtLocation(location);
}

void IMTamponTool::mouseDraggedAtLocation(const QPointF& location) {
  if (!weAreChangingCenter_) IMCITool::mouseDraggedAtLocation(location);
}

void IMTamponTool::mouseUpAtLocation(const QPointF& location) {
  if (!weAreChangingCenter_) {
    IMCITool::mouseUpAtLocation(location);
    return;
  }
  toCopyCenter_ = location;
  toCopyDistance_ = QSizeF(0, 0);
  weAreChangingCenter_ = false;
}

// Read once per stroke, on the main thread: the stamps copy the content
// the stroke started from, never what it has painted itself.
void IMTamponTool::willBeginStroke() {
  source_ = ci::Image();
  Layer* layer = toolsController() ? toolsController()->workingLayer() : nullptr;
  if (!layer) return;
  ci::Image content = layer->filteredCIImage();
  if (content.isNull() && layer->image()) content = layer->image()->ciImage();
  if (content.isNull()) return;
  gfx::AffineTransform moved = layer->transformation();
  gfx::AffineTransform shift;
  shift.translateXBy(toCopyDistance_.width(), toCopyDistance_.height());
  moved.appendTransform(shift);
  source_ = ima_transformedImageWithTransform(content, moved);
}

ci::Image IMTamponTool::imageWithPoint(const QPointF& point, double pressure,
                                       const ci::Image& backGroundImage) {
  if (source_.isNull()) return {};
  const double radius = toolSize() == 1 ? 5 : toolSize() * pressure;
  ci::FilterPtr mask = ci::Filter::filterWithName(QStringLiteral("CIRadialGradient"));
  ci::FilterPtr blend = ci::Filter::filterWithName(QStringLiteral("CIBlendWithMask"));
  if (!mask || !blend) return {};
  mask->setValue(QVariant::fromValue(ci::Color(1, 1, 1, 1)), "inputColor0");
  mask->setValue(QVariant::fromValue(ci::Color(0, 0, 0, 1)), "inputColor1");
  mask->setValue(0.0, "inputRadius0");
  mask->setValue(radius, "inputRadius1");
  mask->setValue(QVariant::fromValue(ci::Vector::vectorWithCGPoint(point)), ci::kCIInputCenterKey);
  blend->setValue(QVariant::fromValue(source_), ci::kCIInputImageKey);
  blend->setValue(QVariant::fromValue(backGroundImage), ci::kCIInputBackgroundImageKey);
  blend->setValue(QVariant::fromValue(mask->outputImage()), ci::kCIInputMaskImageKey);
  return blend->outputImage();
}

gfx::ImagePtr IMTamponTool::logo() const {
  return IMToolImages::imageNamed("duplicationToolTemplate");
}

QCursor IMTamponTool::defaultCursor() const {
  const QImage image = IMToolImages::pixelsOf(IMToolImages::imageNamed("duplicationTool"));
  const double height = image.height() / image.devicePixelRatio();
  return ui::Cursor::cursorWithImage(image, QPointF(3, height - 2));
}

QCursor IMTamponTool::altCursor() const { return ui::Cursor::crosshairCursor(); }
