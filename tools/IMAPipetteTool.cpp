#include "tools/IMAPipetteTool.h"

#include <cmath>

#include "appkit/Cursor.h"
#include "coredata/ManagedObjectContext.h"
#include "model/ComposedImage.h"
#include "model/IMAManagedObjectContext.h"
#include "model/IMImagesUtilities.h"
#include "model/Layer.h"
#include "model/Settings.h"
#include "tools/IMToolImages.h"
#include "tools/IMToolsController.h"

IMAPipetteTool::IMAPipetteTool(IMToolsController* toolsController) : IMTool(toolsController) {}

// Only a tool that has picked is registered.
IMAPipetteTool::~IMAPipetteTool() {
  if (watchedContext_) fnd::NotificationCenter::defaultCenter().removeObserver(this);
}

gfx::ImagePtr IMAPipetteTool::logo() const { return IMToolImages::imageNamed("pipetteTemplate"); }

void IMAPipetteTool::prepareStaticVariables() { IMToolImages::imageNamed("pipetteTemplate"); }

QCursor IMAPipetteTool::defaultCursor() const {
  static const QCursor cursor = [] {
    const QImage image = IMToolImages::pixelsOf(IMToolImages::imageNamed("pipetteTemplate"));
    return ui::Cursor::cursorWithImage(image,
                                       QPointF(1, image.height() / image.devicePixelRatio() - 1));
  }();
  return cursor;
}

void IMAPipetteTool::setSavedImage(gfx::ImagePtr image) {
  savedImage_ = std::move(image);
  savedPixels_ = ima_bitmapRepresentation(savedImage_);
}

// Any change to the document's objects, or to a layer's filtered image,
// makes the kept flattened image stale.
void IMAPipetteTool::watchDocument() {
  IMAManagedObjectContext* context =
      toolsController() ? toolsController()->managedObjectContext() : nullptr;
  if (context == watchedContext_) return;
  fnd::NotificationCenter& center = fnd::NotificationCenter::defaultCenter();
  center.removeObserver(this);
  forgetSavedImage();
  watchedContext_ = context;
  if (!context) return;
  center.addObserver(this, cd::ManagedObjectContextObjectsDidChangeNotification, context,
                     [this](const fnd::Notification&) { forgetSavedImage(); });
  center.addObserver(this, IMSelectedLayerDidChange, nullptr,
                     [this](const fnd::Notification&) { forgetSavedImage(); });
}

void IMAPipetteTool::mouseDownAtLocation(const QPointF& location) {
  watchDocument();
  // Changes made earlier in this pass are announced now, before the check.
  if (IMAManagedObjectContext* context = toolsController()->managedObjectContext())
    context->processPendingChanges();
  ComposedImage* composed = toolsController() ? toolsController()->composedImage() : nullptr;
  if (!savedImage_ && composed) setSavedImage(composed->finalImageKeepAlpha(true));
  useToolAtLocation(location);
}

void IMAPipetteTool::useToolAtLocation(const QPointF& location) {
  std::shared_ptr<Settings> s = settings();
  if (!savedPixels_ || !s) return;
  const int w = savedPixels_->pixelsWide();
  const int h = savedPixels_->pixelsHigh();
  const double x = std::floor(location.x());
  const double y = std::floor(location.y());
  if (!(x >= 0 && x < w && y >= 0 && y < h)) return;
  const QColor color = savedPixels_->colorAtX(int(x), h - 1 - int(y));
  if (shiftPressed())
    s->setColor2(color);
  else
    s->setColor1(color);
}
