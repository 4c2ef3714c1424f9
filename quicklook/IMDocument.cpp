#include "quicklook/IMDocument.h"

#include <cmath>

#include "coredata/ManagedObjectContext.h"
#include "coredata/PersistentStoreCoordinator.h"
#include "foundation/NotificationCenter.h"
#include "graphics/GraphicsContext.h"
#include "model/ComposedImage.h"
#include "model/Filter.h"
#include "model/IMImagesUtilities.h"
#include "model/IMManagedObject.h"
#include "model/Image.h"
#include "model/Layer.h"
#include "model/ModelVariant.h"

namespace quicklook {

namespace {

// A preview allocates bitmaps from the canvas size a file claims, so a
// canvas beyond these is refused before any pixel exists.
constexpr double kMaxCanvasSide = 30000;
constexpr double kMaxCanvasPixels = 300e6;

bool isPreviewableCanvas(const QSizeF& size) {
  return std::isfinite(size.width()) && std::isfinite(size.height()) && size.width() > 0 &&
         size.height() > 0 && size.width() <= kMaxCanvasSide && size.height() <= kMaxCanvasSide &&
         size.width() * size.height() <= kMaxCanvasPixels;
}

// The most device pixels one of a layer's pixels covers when the canvas is
// drawn at `scale`; 1 (all its pixels) when filters work on them, since a
// filter's reach is counted in pixels.
double drawingScaleOfLayer(Layer& layer, double scale) {
  const double zoom = std::abs(layer.zoom());
  if (im_countainsAtLeatOneActiveFilter(layer.filtersArray()) || !(zoom > 0)) return 1;
  return std::min(1.0, scale * zoom);
}

}  // namespace

IMDocument::~IMDocument() {
  if (context_)
    fnd::NotificationCenter::defaultCenter().postNotificationName(
        IMAWillThrowAwayManagedObjectsForMOC, context_.get());
  composedImage_ = nullptr;
  context_.reset();
  coordinator_.reset();
}

std::unique_ptr<IMDocument> IMDocument::generateDocumentForQuickLookWithURL(const QUrl& url,
                                                                            const QString& type) {
  // This model runs inside a previewer: nothing in the background, no
  // cache folder, no thumbnails of layers.
  ModelVariant::setCurrent(ModelVariant::PreviewGenerator);
  // Stored filter names must resolve to the engine's filters, ours included.
  Filter::loadFilters();
  std::unique_ptr<IMDocument> document(new IMDocument);
  if (!document->readFromURL(url, type)) return nullptr;
  return document;
}

cd::ManagedObjectModelPtr IMDocument::managedObjectModel() {
  return IMManagedObject::managedObjectModel();
}

QString IMDocument::persistentStoreTypeForFileType(const QString&) { return cd::SQLiteStoreType; }

bool IMDocument::readFromURL(const QUrl& url, const QString& type) {
  cd::ManagedObjectModelPtr model = managedObjectModel();
  if (!model || !url.isLocalFile()) return false;
  auto coordinator = std::make_unique<cd::PersistentStoreCoordinator>(model);
  // Read-only, with no journal switch: the user's file stays as it was,
  // and one on a read-only medium still previews. The layers' pixels are
  // read page by page rather than through a mapping of the file: a mapping
  // would keep every page read in memory until the store closes, and each
  // layer's bytes are read while the layer before decodes anyway.
  const QVariantMap options{{cd::ReadOnlyPersistentStoreOption, true}};
  if (!coordinator->addPersistentStoreWithType(persistentStoreTypeForFileType(type), {}, url,
                                               options))
    return false;
  auto context = std::make_unique<cd::ManagedObjectContext>();
  context->setPersistentStoreCoordinator(coordinator.get());
  coordinator_ = std::move(coordinator);
  setManagedObjectContext(std::move(context));
  return true;
}

void IMDocument::setManagedObjectContext(std::unique_ptr<cd::ManagedObjectContext> context) {
  if (!context) return;
  context_ = std::move(context);
}

bool IMDocument::needsToReloadComposedImage() const {
  return !composedImage_ || composedImage_->managedObjectContext() != context_.get();
}

ComposedImage* IMDocument::composedImage() {
  if (needsToReloadComposedImage()) {
    ComposedImage* root = ComposedImage::composedImageForManagedObjectContext(context_.get());
    setComposedImage(root && isPreviewableCanvas(root->size()) ? root : nullptr);
  }
  return composedImage_;
}

bool IMDocument::isEmpty() {
  ComposedImage* root = composedImage();
  return !root || root->isEmpty();
}

void IMDocument::decodeLayersForScale(double scale) {
  QList<Image*> images;
  QList<double> scales;
  for (Layer* layer : composedImage_->layersArray()) {
    if (!layer->image() || !layer->visible()) continue;  // hidden ones are never drawn
    images.append(layer->image());
    scales.append(drawingScaleOfLayer(*layer, scale));
  }
  Image::decodeStoredPixelsForDrawing(images, scales);
}

gfx::ImagePtr IMDocument::finalImageResizedTo(const QSizeF& size) {
  ComposedImage* root = composedImage();
  const QRectF rect = root ? root->rect() : QRectF();
  const double width = std::round(size.width()), height = std::round(size.height());
  if (!root || rect.isEmpty() || !(width >= 1 && height >= 1)) return nullptr;
  decodeLayersForScale(std::max(width / rect.width(), height / rect.height()));
  gfx::ImagePtr image = ima_imageWithPixelSize(QSizeF(width, height), [&](const QRectF& canvas) {
    gfx::GraphicsContext* context = gfx::GraphicsContext::current();
    if (!context) return false;
    context->fillRect(canvas, QColor(0, 0, 0, 0), gfx::CompositingOperation::Copy);
    context->scaleCTM(width / rect.width(), height / rect.height());
    root->compositeImageInRect(rect, true, root->layersArray(), false);
    return true;
  });
  return ima_bitmapRepresentation(image) ? image : nullptr;
}

QByteArray IMDocument::finalImageTiffDataResizedTo(const QSizeF& size) {
  gfx::ImagePtr image = finalImageResizedTo(size);
  return image ? image->TIFFRepresentation() : QByteArray();
}

// The store stays attached until the document goes, which tells the
// model's observers the context's objects are being thrown away.
void IMDocument::close() { composedImage_ = nullptr; }

}  // namespace quicklook
