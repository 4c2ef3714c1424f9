// The resize popover: the whole document scaled by a factor, or its canvas
// given a new size with the layers left as they are.
#include <QAbstractButton>
#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>
#include <cmath>

#include "appkit/core/Beep.h"
#include "foundation/Localized.h"
#include "foundation/ValueTransformer.h"
#include "imageio/ImageLimits.h"
#include "model/ComposedImage.h"
#include "model/IMImagesUtilities.h"
#include "window/IMResizeImageSettings.h"
#include "window/IMWindowController.h"
#include "window/ImageResizeTransformer.h"

namespace {

// A canvas the program can hold and save: whole pixels on each side, within
// the limits every image reader and writer of the program keeps to.
bool isAcceptableCanvas(double width, double height) {
  const io::ImageLimits limits;
  if (!std::isfinite(width) || !std::isfinite(height) || width < 1 || height < 1) return false;
  return width <= limits.maxSide && height <= limits.maxSide &&
         width * height <= double(limits.maxPixelCount);
}

}  // namespace

QPushButton* IMWindowController::imageResizeButton() {
  if (!imageResizeButton_) {
    imageResizeButton_ = new QPushButton(fnd::localized("Image Size…"));
    imageResizeButton_->setObjectName(QStringLiteral("imageResizeButton"));
    imageResizeButton_->setFlat(true);
    connect(imageResizeButton_, &QPushButton::clicked, this,
            [this] { resizeDocumentPanel(imageResizeButton_); });
  }
  return imageResizeButton_;
}

bool IMWindowController::setResizeCanvasWidth(double width) {
  if (!isAcceptableCanvas(width, resizeCanvasHeight_)) {
    ui::beep();
    return false;
  }
  resizeCanvasWidth_ = width;
  return true;
}

bool IMWindowController::setResizeCanvasHeight(double height) {
  if (!isAcceptableCanvas(resizeCanvasWidth_, height)) {
    ui::beep();
    return false;
  }
  resizeCanvasHeight_ = height;
  return true;
}

// The factor is judged by the canvas it would give, rounded as the resize rounds it.
bool IMWindowController::setResizeZoom(double zoom) {
  ComposedImage* image = composedImage();
  const bool finite = std::isfinite(zoom) && zoom > 0;
  if (!image || !finite ||
      !isAcceptableCanvas(
          std::max<double>(1, IMImagesUtilities::roundFloat(image->width() * zoom)),
          std::max<double>(1, IMImagesUtilities::roundFloat(image->height() * zoom)))) {
    ui::beep();
    return false;
  }
  resizeZoom_ = zoom;
  return true;
}

void IMWindowController::resizeDocumentPanel(QObject*) {
  if (documentSizePopover_ && documentSizePopover_->isShown()) {
    documentSizePopover_->performClose(nullptr);
    return;
  }
  ComposedImage* image = composedImage();
  if (!image) return;
  resizeCanvasWidth_ = image->width();
  resizeCanvasHeight_ = image->height();
  resizeZoom_ = 1;
  fnd::ValueTransformer::setValueTransformer(
      std::make_shared<ImageResizeTransformer>(image->width()),
      QStringLiteral("ImageResizeWidthTransformer"));
  fnd::ValueTransformer::setValueTransformer(
      std::make_shared<ImageResizeTransformer>(image->height()),
      QStringLiteral("ImageResizeHeightTransformer"));
  if (!documentSizePopover_) {
    resizeSettings_ = new IMResizeImageSettings(this);
    documentSizePopover_ = new ui::Popover(resizeSettings_);
    documentSizePopover_->setParent(window(), documentSizePopover_->windowFlags());
    documentSizePopover_->setDelegate(this);
  }
  toggleEnableCanvasSizeBox(true);
  resizeSettings_->canvasRadioButton()->setChecked(true);
  QPushButton* anchor = imageResizeButton();
  documentSizePopover_->showRelativeToRect(anchor->rect(), anchor, ui::MaxYEdge);
}

void IMWindowController::toggleEnableCanvasSizeBox(bool canvas) {
  if (ComposedImage* image = composedImage()) {
    resizeCanvasWidth_ = image->width();
    resizeCanvasHeight_ = image->height();
  }
  resizeZoom_ = 1;
  if (!resizeSettings_) return;
  // The groups' controls, not the groups: a disabled group would grey its title too.
  for (QWidget* control : resizeSettings_->canvasResizeBox()->findChildren<QWidget*>())
    control->setEnabled(canvas);
  for (QWidget* control : resizeSettings_->resizeBox()->findChildren<QWidget*>())
    control->setEnabled(!canvas);
  resizeSettings_->showValues();
}

void IMWindowController::pressResizeCanvasRadioButton(QObject* sender) {
  auto* button = qobject_cast<QAbstractButton*>(sender);
  toggleEnableCanvasSizeBox(button && button->isChecked());
}

void IMWindowController::pressResizeRadioButton(QObject* sender) {
  auto* button = qobject_cast<QAbstractButton*>(sender);
  toggleEnableCanvasSizeBox(!(button && button->isChecked()));
}

void IMWindowController::resizeDocument(QObject*) {
  ComposedImage* image = composedImage();
  if (!image) return;
  if (resizeZoom_ != 1) {
    if (!setResizeZoom(resizeZoom_)) return;
    if (toolsController_) toolsController_->deselect();
    image->resizeWithZoom(resizeZoom_);
  } else {
    if (!isAcceptableCanvas(resizeCanvasWidth_, resizeCanvasHeight_)) {
      ui::beep();
      return;
    }
    image->setWidth(float(resizeCanvasWidth_));
    image->setHeight(float(resizeCanvasHeight_));
  }
  closeReziseWindow();
}

void IMWindowController::cancelResizeDocument(QObject*) { closeReziseWindow(); }

void IMWindowController::closeReziseWindow() {
  if (documentSizePopover_) documentSizePopover_->close();
}

void IMWindowController::popoverWillClose(ui::Popover*) {}
