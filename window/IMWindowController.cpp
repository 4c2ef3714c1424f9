#include "window/IMWindowController.h"

#include <QTimer>
#include <cmath>
#include <optional>

#include "appkit/MenuItem.h"
#include "appkit/PictureTaker.h"
#include "appkit/ScrollView.h"
#include "appkit/SharingServicePicker.h"
#include "appkit/UserInterfaceItem.h"
#include "coredata/ManagedObjectContext.h"
#include "documents/IMDocument.h"
#include "foundation/KeyedArchiver.h"
#include "foundation/KeyedUnarchiver.h"
#include "foundation/Localized.h"
#include "foundation/OperationQueue.h"
#include "model/ComposedImage.h"
#include "model/DrawingAsLayersArrive.h"
#include "model/IMAManagedObjectContext.h"
#include "model/Layer.h"
#include "model/Settings.h"
#include "window/IMLayersArrayController.h"
#include "window/IMTableView.h"
#include "window/IMTemplateImages.h"
#include "window/IMView.h"
#include "window/IMWindowValueTransformers.h"
#include "window/WindowZoomGeometry.h"

IMWindowController::IMWindowController()
    : layersController_(std::make_unique<IMLayersArrayController>()) {
  IMRegisterWindowValueTransformers();
  layersController_->setWindowController(this);
  addActions();
  addImageCaptureActions();
}

IMWindowController::~IMWindowController() { teardown(); }

void IMWindowController::installAsDocumentWindow() {
  IMDocument::setWindowControllerFactory(
      [](IMDocument*) { return std::make_unique<IMWindowController>(); });
}

void IMWindowController::setDocument(ui::Document* document) {
  if (!document && this->document()) teardown();
  ui::WindowController::setDocument(document);
}

// ---- Derived values ----

IMDocument* IMWindowController::myDocument() const { return qobject_cast<IMDocument*>(document()); }

ComposedImage* IMWindowController::composedImage() const {
  IMDocument* doc = myDocument();
  return doc ? doc->composedImage() : nullptr;
}

std::shared_ptr<Settings> IMWindowController::settings() const {
  ComposedImage* image = composedImage();
  return image ? image->settings() : nullptr;
}

double IMWindowController::zoom() {
  std::shared_ptr<Settings> s = settings();
  return s ? s->zoom() : 1;
}

IMAManagedObjectContext* IMWindowController::managedObjectContext() const {
  IMDocument* doc = myDocument();
  return doc ? doc->customManagedObjectContext() : nullptr;
}

bool IMWindowController::ownsLayer(const Layer* layer) const {
  ComposedImage* image = composedImage();
  return layer && image && layer->composedImage() == image;
}

QList<Layer*> IMWindowController::selectedLayers() const {
  return layersController_->selectedLayers();
}

fnd::OperationQueue* IMWindowController::previewOperationQueue() {
  if (!previewOperationQueue_) previewOperationQueue_ = std::make_unique<fnd::OperationQueue>();
  return previewOperationQueue_.get();
}

gfx::ImagePtr IMWindowController::imageFontPanel() const {
  return IMTemplateImages::themeImage(QStringLiteral("preferences-desktop-font"),
                                      QStringLiteral("font"));
}

gfx::ImagePtr IMWindowController::imageAddTemplate() const {
  return IMTemplateImages::themeImage(QStringLiteral("list-add"), QStringLiteral("add"));
}

gfx::ImagePtr IMWindowController::imageRemoveTemplate() const {
  return IMTemplateImages::themeImage(QStringLiteral("list-remove"), QStringLiteral("remove"));
}

gfx::ImagePtr IMWindowController::imageIChatTheaterTemplate() const {
  return IMTemplateImages::themeImage(QStringLiteral("video-display"), QStringLiteral("theater"));
}

// ---- Geometry and redraws ----

QRectF IMWindowController::visibleRect() const {
  if (!mainView_ || !graphicScrollView_) return {};
  return mainView_->transformRectFromViewToDocument(graphicScrollView_->documentVisibleRect());
}

// With a selection the tools work only inside it.
QRectF IMWindowController::workableRectWithInset(double inset) const {
  ComposedImage* image = composedImage();
  const QRectF canvas = image ? image->rect() : QRectF();
  const QRectF workable = visibleRect().intersected(canvas).adjusted(-inset, -inset, inset, inset);
  if (toolsController_ && toolsController_->hasSelection())
    return workable.intersected(toolsController_->selectedRect());
  return workable;
}

bool IMWindowController::documentFitIntoVisibleRect() const {
  if (!mainView_ || !graphicScrollView_) return false;
  const QRectF shown = graphicScrollView_->documentVisibleRect();
  const QRectF canvas = mainView_->bounds();
  return shown.width() >= canvas.width() && shown.height() >= canvas.height();
}

void IMWindowController::setNeedsDisplayInLayerRect(const QRectF& rect) {
  if (!mainView_) return;
  const QRectF view = mainView_->transformRectFromDocumentToView(rect);
  mainView_->setNeedsDisplayInRect(view.adjusted(-10, -10, 10, 10));
}

void IMWindowController::setNeedsDisplay() {
  if (mainView_) mainView_->setNeedsDisplay(true);
}

// ---- Panels ----

void IMWindowController::setTabbedSettingsTab(qint64 tab) {
  if (IMDocument* doc = myDocument()) doc->setTabbedSettingsTab(tab);
}

// ---- Window ----

QString IMWindowController::windowTitleForDocumentDisplayName(const QString& displayName) const {
  const double zoom = const_cast<IMWindowController*>(this)->zoom();
  return fnd::localized("%1 - %2%")
      .arg(ui::WindowController::windowTitleForDocumentDisplayName(displayName))
      .arg(quint64(WindowZoomGeometry::titlePercent(zoom)));
}

void IMWindowController::encodeRestorableStateWithCoder(fnd::KeyedArchiver& coder) {
  ui::WindowController::encodeRestorableStateWithCoder(coder);
  coder.encodeRect(QRectF(frameForNonFullScreenMode_), QStringLiteral("frameForNonFullScreenMode"));
  if (std::shared_ptr<Settings> s = settings()) s->encodeWithCoder(coder);
}

void IMWindowController::restoreStateWithCoder(fnd::KeyedUnarchiver& coder) {
  ui::WindowController::restoreStateWithCoder(coder);
  windowIsRestored_ = true;
  frameForNonFullScreenMode_ =
      coder.decodeRectForKey(QStringLiteral("frameForNonFullScreenMode")).toRect();
  ComposedImage* image = composedImage();
  if (!image) return;
  image->setSettings(Settings::initWithCoder(coder));
  if (mainView_) mainView_->updateFrame();
  synchronizeWindowTitleWithDocumentName();
  updateLayersAndFiltersUI();
  if (isInFullScreenMode()) didLoadFullScreenAnimated(false);
  image->settings()->setDelegate(this);
}

void IMWindowController::settingsDidChanged() { invalidateRestorableState(); }

bool IMWindowController::windowShouldClose(ui::Window* window) {
  return ui::WindowController::windowShouldClose(window);
}

// Every way a window closes passes here (the user's, the program's, the
// termination's): the controller lets go of everything it observes and of
// every back-reference to it while its document is still known.
void IMWindowController::windowWillClose(ui::Window* window) {
  if (window && window == imageCaptureWindow_.data()) return willCloseImageCaptureWindow();
  willCloseImageCaptureWindow();
  teardown();
  ui::WindowController::windowWillClose(window);
}

// ---- Canvas delegates ----

void IMWindowController::viewDrawingRect(const QRectF& rect, bool forceCleanDrawing,
                                         bool disableInterpolation) {
  ComposedImage* image = composedImage();
  if (!image) return;
  // The canvas never waits for a layer still decoding: it shows what has
  // arrived and repaints each layer as it comes. A clean drawing is a
  // picture of the document and shows all of it.
  std::optional<DrawingAsLayersArrive> asTheyArrive;
  if (!forceCleanDrawing) asTheyArrive.emplace();
  image->compositeImageInRect(rect, forceCleanDrawing, disableInterpolation);
}

QRectF IMWindowController::contentOriginalRectForView() {
  ComposedImage* image = composedImage();
  return image ? image->rect() : QRectF();
}

ui::Responder* IMWindowController::mainView() { return mainView_; }

// The canvas's rectangles are replaced, never added to.
void IMWindowController::resetCursorRectsOfMainView() {
  if (mainView_) mainView_->rebuildCursorRects();
}

bool IMWindowController::isLayersPanelLoaded() const { return layersController_->isLoaded(); }

void IMWindowController::setLayersPanelLoadedCallback(std::function<void()> callback) {
  layersController_->setIsLoadedCallback(std::move(callback));
}
