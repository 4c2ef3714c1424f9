#include "tools/IMMagicEraser.h"

#include <cmath>

#include "appkit/Cursor.h"
#include "appkit/core/Beep.h"
#include "coreimage/FilterConstants.h"
#include "graphics/BitmapImageRep.h"
#include "model/ComposedImage.h"
#include "model/IMImagesUtilities.h"
#include "model/Image.h"
#include "model/Layer.h"
#include "tools/IMSelectionTool.h"
#include "tools/IMToolImages.h"
#include "tools/IMToolsController.h"
#include "window/IMView.h"

namespace {

QVariant colorValue(double r, double g, double b) {
  return QVariant::fromValue(ci::Color(r, g, b, 1));
}

ci::Image filtered(const QString& name, const QVariantMap& inputs) {
  ci::FilterPtr filter = ci::Filter::filterWithName(name, inputs);
  return filter ? filter->outputImage() : ci::Image();
}

}  // namespace

bool IMMagicEraser::isUsable() {
  Layer* layer = toolsController() ? toolsController()->workingLayer() : nullptr;
  return layer && layer->visible() && !layer->isEmpty() && !layer->isText();
}

ci::FilterPtr IMMagicEraser::magicEraserFilter() {
  if (magicEraserFilter_) return magicEraserFilter_;
  magicEraserFilter_ = ci::Filter::filterWithName(QStringLiteral("CISpotColor"));
  if (!magicEraserFilter_) return nullptr;
  ci::Filter& f = *magicEraserFilter_;
  f.setDefaults();
  f.setValue(colorValue(0, 0, 0), "inputReplacementColor1");
  f.setValue(1.0, "inputContrast1");
  for (const char* range : {"2", "3"}) {
    f.setValue(colorValue(0, 1, 0), QStringLiteral("inputCenterColor") + range);
    f.setValue(colorValue(0, 1, 0), QStringLiteral("inputReplacementColor") + range);
    f.setValue(0.0, QStringLiteral("inputCloseness") + range);
    f.setValue(0.0, QStringLiteral("inputContrast") + range);
  }
  return magicEraserFilter_;
}

void IMMagicEraser::resetFilter() { magicEraserFilter_.reset(); }

QPointF IMMagicEraser::mouseDownLocation() const {
  return hasClick_ ? downLocation_ : IMTool::mouseDownLocation();
}

void IMMagicEraser::flattenWorkingLayer() {
  IMToolsController* tools = toolsController();
  Layer* layer = tools->workingLayer();
  ComposedImage* composed = tools->composedImage();
  if (!composed || !layer->image()) return;
  const QRectF canvas(0, 0, composed->width(), composed->height());
  layer->image()->setNsImage(composed->finalImageKeepAlpha(true, {layer}, canvas));
  layer->resetPersistentGraphicalPropertiesKeepingNonVisibleFilters(true);
  layer->setOrigin(QPointF(0, 0));
}

// The colour is read only from the layer's own pixels, rows counted from
// the top; a click beside them has no colour to remove.
void IMMagicEraser::mouseDownAtLocation(const QPointF& location) {
  hasClick_ = false;
  IMToolsController* tools = toolsController();
  Layer* layer = tools ? tools->workingLayer() : nullptr;
  if (!layer || !layer->image()) return;
  QPointF p = location;
  if (!layer->filteredCIImage().isNull() || tools->hasSelection()) {
    flattenWorkingLayer();
    p = locationWithEvent(lastEvent());
  }
  Image* image = layer->image();
  const gfx::ImagePtr pixels = image->nsImage();
  const gfx::BitmapImageRepPtr bitmap = pixels ? ima_bitmapRepresentation(pixels) : nullptr;
  if (!bitmap) return;
  imageSize_ = pixels->size();
  const int column = int(std::floor(p.x()));
  const int row = bitmap->pixelsHigh() - 1 - int(std::floor(p.y()));
  if (column < 0 || row < 0 || column >= bitmap->pixelsWide() || row >= bitmap->pixelsHigh()) {
    ui::beep();
    return;
  }
  downLocation_ = p;
  hasClick_ = true;
  const QColor clicked = bitmap->colorAtX(column, row);
  closeness_ = 0.01;
  ci::FilterPtr filter = magicEraserFilter();
  if (!filter) return;
  filter->setValue(QVariant::fromValue(ci::Color::colorWithQColor(clicked)), "inputCenterColor1");
  filter->setValue(closeness_, "inputCloseness1");
  filter->setValue(QVariant::fromValue(image->ciImage()), ci::kCIInputImageKey);
  applyFilterAndMask();
}

void IMMagicEraser::mouseDraggedAtLocation(const QPointF& location) {
  if (!hasClick_ || !magicEraserFilter_) return;
  const QPointF moved = location - downLocation_;
  const double diagonal = std::hypot(imageSize_.width(), imageSize_.height());
  closeness_ = std::min(1.0, std::hypot(moved.x(), moved.y()) / diagonal);
  magicEraserFilter_->setValue(closeness_, "inputCloseness1");
  applyFilterAndMask();
}

void IMMagicEraser::mouseUpAtLocation(const QPointF&) {
  resetFilter();
  hasClick_ = false;
}

// The spot-colour filter turns close colours black but leaves every other
// pixel in its own colour, which as a mask would also take away any colour
// short of white. The same filter replacing with white instead differs
// from it by exactly the closeness weight, so their difference, inverted,
// keeps every other colour whole.
ci::Image IMMagicEraser::colourMask() {
  ci::Filter& black = *magicEraserFilter_;
  const ci::Image towardsBlack = black.outputImage();
  QVariantMap inputs;
  for (const QString& key : black.inputKeys()) inputs.insert(key, black.valueForKey(key));
  inputs.insert(QStringLiteral("inputReplacementColor1"), colorValue(1, 1, 1));
  const ci::Image towardsWhite = filtered(QStringLiteral("CISpotColor"), inputs);
  const ci::Image weight =
      filtered(QStringLiteral("CIDifferenceBlendMode"),
               {{ci::kCIInputImageKey, QVariant::fromValue(towardsWhite)},
                {ci::kCIInputBackgroundImageKey, QVariant::fromValue(towardsBlack)}});
  return filtered(QStringLiteral("CIColorInvert"),
                  {{ci::kCIInputImageKey, QVariant::fromValue(weight)}});
}

// The layer lies at the canvas's origin once flattened, so document and
// layer coordinates agree: white inside the selection, black elsewhere.
ci::Image IMMagicEraser::selectionCoverage() {
  IMToolsController* tools = toolsController();
  const QRectF inside = tools->selectedRect();
  ci::Image white = ci::Image::imageWithColor(ci::Color(1, 1, 1, 1));
  if (IMSelectionTool* selection = tools->selectionTool()) {
    const ci::Image lasso = selection->selectionMaskWithSize(imageSize_.toSize());
    if (!lasso.isNull()) white = lasso;
  }
  const ci::Image black = ci::Image::imageWithColor(ci::Color(0, 0, 0, 1));
  return white.imageByCroppingToRect(inside).imageByCompositingOverImage(black);
}

void IMMagicEraser::applyFilterAndMask() {
  IMToolsController* tools = toolsController();
  Layer* layer = tools ? tools->workingLayer() : nullptr;
  if (!layer || !layer->image() || !magicEraserFilter_) return;
  const ci::Image input = magicEraserFilter_->valueForKey(ci::kCIInputImageKey).value<ci::Image>();
  // Blurred as if the layer went on past its border, which thus stays.
  const ci::Image mask = ima_blurWithRadius(colourMask().imageByClampingToExtent(), 2)
                             .imageByCroppingToRect(input.extent());
  ci::Image result = ima_maskWithImage(input, mask);
  // Outside the selection the layer keeps every pixel, whatever its colour.
  if (tools->hasSelection())
    result = filtered(QStringLiteral("CIBlendWithMask"),
                      {{ci::kCIInputImageKey, QVariant::fromValue(result)},
                       {ci::kCIInputBackgroundImageKey, QVariant::fromValue(input)},
                       {ci::kCIInputMaskImageKey, QVariant::fromValue(selectionCoverage())}});
  layer->image()->setNsImage(ima_nsImageWithSize(result, imageSize_));
  if (IMView* view = tools->mainView()) view->setNeedsDisplay(true);
}

gfx::ImagePtr IMMagicEraser::logo() const {
  return IMToolImages::imageNamed("backgroundEraserTemplate");
}

QCursor IMMagicEraser::defaultCursor() const { return ui::Cursor::crosshairCursor(); }
