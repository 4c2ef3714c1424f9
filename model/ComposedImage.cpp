#include "model/ComposedImage.h"

#include <cmath>

#include "appkit/core/Beep.h"
#include "coredata/ManagedObjectContext.h"
#include "foundation/Localized.h"
#include "graphics/GraphicsContext.h"
#include "imageio/ImageLimits.h"
#include "model/CompositionSnapshot.h"
#include "model/IMImagesUtilities.h"
#include "model/Image.h"
#include "model/Layer.h"

namespace {

const QSizeF kNewDocumentSize(1600, 800);

// A canvas size read from a store is drawn into bitmaps of that size, so it
// must be a finite, positive size within the limits images are opened with.
bool checkCanvasSize(double width, double height, fnd::Error* error) {
  if (!std::isfinite(width) || !std::isfinite(height) || width <= 0 || height <= 0)
    return fnd::fail(error, fnd::CocoaErrorDomain, fnd::FileReadCorruptFileError,
                     fnd::localized("The document is damaged: its canvas size (%1 × %2) is not "
                                    "a finite, positive size.")
                         .arg(width)
                         .arg(height));
  io::ImageLimits limits;
  // Clamped first so the conversion to whole pixels cannot overflow.
  auto pixels = [](double side) { return int64_t(std::ceil(std::min(side, 1e15))); };
  return limits.check(pixels(width), pixels(height), fnd::localized("document's canvas"), error);
}

}  // namespace

ComposedImage* ComposedImage::createComposedImageWithALayerForManagedObjectContext(
    cd::ManagedObjectContext* context) {
  auto* composedImage = context->insertNewObject<ComposedImage>("ComposedImage");
  if (!composedImage) return nullptr;
  Layer::createLayerWithComposedImage(composedImage, context, true);
  return composedImage;
}

ComposedImage* ComposedImage::composedImageForManagedObjectContext(
    cd::ManagedObjectContext* context, fnd::Error* error) {
  if (!context) return nullptr;
  fnd::Error fetchError;
  cd::ObjectList found =
      context->executeFetchRequest(cd::FetchRequest("ComposedImage"), &fetchError);
  if (!fetchError.isNull()) {
    fnd::fail(error, fetchError);
    return nullptr;
  }
  if (found.size() != 1) return nullptr;
  auto* composedImage = dynamic_cast<ComposedImage*>(found.first());
  if (composedImage && !checkCanvasSize(composedImage->width(), composedImage->height(), error))
    return nullptr;
  return composedImage;
}

void ComposedImage::setSize(QSizeF size) {
  setWidth(size.width());
  setHeight(size.height());
}

QList<Layer*> ComposedImage::layersArray() const { return relatedObjectsOfClass<Layer>("layers"); }

void ComposedImage::setLayersArray(const QList<Layer*>& layers) {
  cd::ObjectList objects;
  for (Layer* layer : layers) objects.append(layer);
  setValue(QVariant::fromValue(objects), "layers");
}

bool ComposedImage::isEmpty() const {
  QList<Layer*> layers = layersArray();
  if (layers.isEmpty()) return true;
  if (layers.size() == 1) return layers.first()->isEmpty();
  return false;
}

void ComposedImage::addLayer(Layer* layer) {
  if (!layer) return;
  int count = int(relatedObjects("layers").size());
  insertObjects({layer}, fnd::IndexSet(count), "layers");
}

void ComposedImage::compositeImageInRect(const QRectF& rect, bool forceQuartz,
                                         const QList<Layer*>& layers, bool disableInterpolation) {
  // The rectangle asked for bounds every layer's drawing, so a small dirty
  // rectangle costs what its pixels cost, whatever the layers' sizes.
  gfx::GraphicsContext* context = gfx::GraphicsContext::current();
  if (context && !rect.isEmpty()) {
    context->saveGState();
    context->clipToRect(rect);
  }
  {
    // The layers are composited together, band by band, rather than each
    // over the whole rectangle in turn.
    gfx::ImageBatchScope batch(context);
    for (qsizetype i = layers.size() - 1; i >= 0; --i)
      layers[i]->drawIsForceQuartz(forceQuartz, false, disableInterpolation, rect);
  }
  if (context && !rect.isEmpty()) context->restoreGState();
}

void ComposedImage::compositeImageInRect(const QRectF& rect, bool forceQuartz,
                                         bool disableInterpolation) {
  compositeImageInRect(rect, forceQuartz, layersArray(), disableInterpolation);
}

gfx::ImagePtr ComposedImage::finalImageKeepAlpha(bool keepAlpha, const QList<Layer*>& layers,
                                                 const QRectF& rect) {
  // The same drawing an export flattens elsewhere, so both give one result.
  return CompositionSnapshot::make(this, layers)->finalImageKeepAlpha(keepAlpha, rect);
}

gfx::ImagePtr ComposedImage::finalImageKeepAlpha(bool keepAlpha, const QList<Layer*>& layers) {
  return finalImageKeepAlpha(keepAlpha, layers, QRectF());
}

gfx::ImagePtr ComposedImage::finalImageKeepAlpha(bool keepAlpha) {
  return finalImageKeepAlpha(keepAlpha, layersArray(), QRectF());
}

void ComposedImage::deleteWithMask(const ci::Image& mask, const QList<Layer*>& layers,
                                   const QRectF& dirtyRect, bool fillMode) {
  for (qsizetype i = layers.size() - 1; i >= 0; --i) {
    Layer* layer = layers[i];
    if (layer->isText() || !layer->visible()) {
      ui::beep();
      continue;
    }
    layer->deleteWithMask(mask, dirtyRect, fillMode);
  }
}

void ComposedImage::fillLayers(const QList<Layer*>& layers) {
  for (Layer* layer : layers) layer->fill();
}

void ComposedImage::resizeWithZoom(double factor) {
  // Zero or negative factors would leave a canvas nothing can be drawn into.
  if (factor <= 0) return;
  for (Layer* layer : layersArray()) layer->resizeCenterdedOnOriginWithZoom(factor);
  setWidth(std::max<qint64>(1, IMImagesUtilities::roundFloat(width() * factor)));
  setHeight(std::max<qint64>(1, IMImagesUtilities::roundFloat(height() * factor)));
}

void ComposedImage::awakeFromInsert() {
  IMManagedObject::awakeFromInsert();
  layerCounter_ = 0;
  setSize(kNewDocumentSize);
}

// New layers are numbered after the highest default-named stored layer, so
// a reopened document never hands out a name it already holds.
qint64 ComposedImage::highestDefaultLayerNumber() const {
  const QString prefix = fnd::localized("untitled layer") + QLatin1Char(' ');
  qint64 highest = 0;
  for (Layer* layer : layersArray()) {
    const QString name = layer->name();
    if (!name.startsWith(prefix)) continue;
    bool ok = false;
    const qint64 number = QStringView(name).mid(prefix.size()).toLongLong(&ok);
    if (ok && number > highest) highest = number;
  }
  return highest;
}

void ComposedImage::awakeFromFetch() {
  IMManagedObject::awakeFromFetch();
  layerCounter_ = highestDefaultLayerNumber();
  // An opened document shows sooner when its layers decode all at once, in
  // the background, than one by one as each is first drawn. From the bottom
  // up, so a view drawn as they arrive shows the lower part of the stack
  // complete, visible layers first.
  QList<Image*> images, hidden;
  const QList<Layer*> layers = layersArray();
  for (auto layer = layers.rbegin(); layer != layers.rend(); ++layer)
    ((*layer)->visible() ? images : hidden).append((*layer)->image());
  images.append(hidden);
  Image::loadImagesInBackground(images);
}

void ComposedImage::awakeFromSnapshotEvents(int flags) {
  IMManagedObject::awakeFromSnapshotEvents(flags);
  fnd::NotificationCenter::defaultCenter().postNotificationName(
      IMComposedImageSnapshotEventNotification, this);
}

void ComposedImage::didChangeValueForKey(const QString& key) {
  if (key == "layers")
    fnd::NotificationCenter::defaultCenter().postNotificationName(IMSomeLayersChanged, this);
  IMManagedObject::didChangeValueForKey(key);
}

QSet<QString> ComposedImage::keyPathsForValuesAffectingValueForKey(const QString& key) const {
  if (key == "hasMoreThanOneLayer" || key == "layersArray") return {"layers"};
  return IMManagedObject::keyPathsForValuesAffectingValueForKey(key);
}
