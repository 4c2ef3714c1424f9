#include "tools/IMTool.h"

#include "appkit/Cursor.h"
#include "foundation/Localized.h"
#include "graphics/CGImage.h"
#include "model/ComposedImage.h"
#include "model/Layer.h"
#include "model/Settings.h"
#include "tools/IMToolImages.h"
#include "tools/IMToolsController.h"
#include "window/IMView.h"

IMTool::IMTool(IMToolsController* toolsController) : toolsController_(toolsController) {}

IMTool::~IMTool() = default;

std::shared_ptr<Settings> IMTool::settings() const {
  ComposedImage* image = toolsController_ ? toolsController_->composedImage() : nullptr;
  return image ? image->settings() : nullptr;
}

gfx::AffineTransform IMTool::mouseToDocumentTransformation() const {
  IMView* view = toolsController_ ? toolsController_->mainView() : nullptr;
  return view ? view->transformation().inverted() : gfx::AffineTransform();
}

gfx::AffineTransform IMTool::documentToLayerTransformation() const {
  Layer* layer = toolsController_ ? toolsController_->workingLayer() : nullptr;
  return layer ? layer->transformation().inverted() : gfx::AffineTransform();
}

bool IMTool::isTheCurrentTool() const {
  return toolsController_ && toolsController_->selectedTool() == this;
}

ci::Color IMTool::color() const {
  std::shared_ptr<Settings> s = settings();
  return ci::Color::colorWithQColor(s ? s->color1() : QColor(Qt::black));
}

unsigned IMTool::modifierFlags() const { return hasLastEvent_ ? lastEvent_.modifierFlags() : 0; }

void IMTool::updateToolBar() {
  if (!toolsController_) return;
  toolsController_->selectToolOfClassOf(this);
  toolsController_->updateToolBarWithLogo(logo());
}

gfx::ImagePtr IMTool::pipetteLogo() {
  static const gfx::ImagePtr image = IMToolImages::imageNamed("pipetteTemplate");
  return image;
}

QCursor IMTool::pipetteCursor() {
  return ui::Cursor::cursorWithImage(IMToolImages::pixelsOf(pipetteLogo()), QPointF(5, 3));
}

QCursor IMTool::defaultCursor() const { return ui::Cursor::arrowCursor(); }

QCursor IMTool::cursorWithModifierFlags(unsigned flags) const {
  return (flags & ui::AlternateKeyMask) ? altCursor() : defaultCursor();
}

gfx::ImagePtr IMTool::logo() const {
  const QImage image = ui::Cursor::imageOfCursor(cursorWithModifierFlags(modifierFlags()));
  return gfx::Image::imageWithCGImage(gfx::CGImage::make(image));
}

QString IMTool::localizedName() const { return fnd::localized(nameKey()); }
