#include "model/Layer.h"

#include "coredata/ManagedObjectContext.h"
#include "foundation/Localized.h"
#include "model/ComposedImage.h"
#include "model/Filter.h"
#include "model/IMImagesUtilities.h"
#include "model/Image.h"
#include "model/ModelVariant.h"

namespace {
const QSet<QString> kTransformationKeys = {"rotationAngle", "xOrigin", "yOrigin", "zoom"};
}

Layer* Layer::createLayerWithComposedImage(ComposedImage* composedImage,
                                           cd::ManagedObjectContext* context, bool changeName,
                                           const QString& entityName) {
  if (!context) return nullptr;
  auto* layer = context->insertNewObject<Layer>(entityName);
  if (!layer) return nullptr;
  if (composedImage) composedImage->addLayer(layer);
  layer->awakeFromInsertWithComposedImage(composedImage, changeName);
  return layer;
}

void Layer::awakeFromInsertWithComposedImage(ComposedImage* composedImage, bool changeName) {
  setComposedImage(composedImage);
  if (changeName && composedImage) {
    QString name = QStringLiteral("%1 %2")
                       .arg(fnd::localized("untitled layer"))
                       .arg(composedImage->aNewLayerIncrementalCount());
    setPrimitiveValue(name, "name");
  }
  updatePreviewImage();
}

void Layer::awakeFromInsert() {
  IMManagedObject::awakeFromInsert();
  if (entity()->name() == "Layer" && managedObjectContext()) {
    if (auto* image = managedObjectContext()->insertNewObject<Image>("Image")) setImage(image);
  }
  prepareInAwakeMethods();
}

void Layer::awakeFromFetch() {
  IMManagedObject::awakeFromFetch();
  prepareInAwakeMethods();
  updatePreviousClippingRect();
}

void Layer::awakeFromSnapshotEvents(int flags) {
  IMManagedObject::awakeFromSnapshotEvents(flags);
  fnd::NotificationCenter::defaultCenter().postNotificationName(IMLayerSnapshotEventNotification,
                                                                this);
  filtersChanged();
}

void Layer::prepareInAwakeMethods() {
  if (Image* image = this->image()) {
    image->setUsesCIImage(true);
    image->setDelegate(this);
  }
}

// ---- Values ----

void Layer::setXOrigin(double x) {
  willChangeValueForKey("xOrigin");
  setPrimitiveValue(double(IMImagesUtilities::roundFloat(x)), "xOrigin");
  didChangeValueForKey("xOrigin");
}

void Layer::setYOrigin(double y) {
  willChangeValueForKey("yOrigin");
  setPrimitiveValue(double(IMImagesUtilities::roundFloat(y)), "yOrigin");
  didChangeValueForKey("yOrigin");
}

// One change reported for both coordinates: the canvas redraws the layer
// once, where it is now, rather than also at an x-moved-only place between.
void Layer::setOrigin(const QPointF& origin) {
  settingOrigin_ = true;
  setXOrigin(origin.x());
  settingOrigin_ = false;
  setYOrigin(origin.y());
}

ComposedImage* Layer::composedImage() const {
  return dynamic_cast<ComposedImage*>(relatedObject("composedImage"));
}

void Layer::setComposedImage(ComposedImage* composedImage) {
  if (this->composedImage() == composedImage) return;
  setValue(QVariant::fromValue<cd::ManagedObject*>(composedImage), "composedImage");
}

Image* Layer::image() const { return dynamic_cast<Image*>(relatedObject("image")); }

void Layer::setImage(Image* image) {
  setValue(QVariant::fromValue<cd::ManagedObject*>(image), "image");
}

Image* Layer::mask() const { return dynamic_cast<Image*>(relatedObject("mask")); }

QList<Filter*> Layer::filtersArray() const { return relatedObjectsOfClass<Filter>("filters"); }

void Layer::setFiltersArray(const QList<Filter*>& filters) {
  cd::ObjectList objects;
  for (Filter* filter : filters) objects.append(filter);
  setValue(QVariant::fromValue(objects), "filters");
}

ci::Image Layer::filteredCIImage() const {
  std::lock_guard<std::mutex> lock(filteredMutex_);
  return filteredCIImage_;
}

void Layer::setFilteredCIImage(const ci::Image& image) {
  std::lock_guard<std::mutex> lock(filteredMutex_);
  filteredCIImage_ = image;
}

bool Layer::isEmpty() const {
  Image* image = this->image();
  if (!image) return true;
  if (image->localImage()) return false;
  // A version made empty in this run is empty, whatever the store still holds.
  if (image->hasInMemoryVersion()) return true;
  return image->storedImageData().isEmpty();
}

bool Layer::isCoreImage() const {
  Image* image = this->image();
  if (!image) return true;
  return !image->localImage() || !image->ciImage().isNull();
}

bool Layer::isPDF() const { return image() && image()->isPDF(); }

bool Layer::isMultiPagesPDF() const { return image() && image()->isMultiPagesPDF(); }

ci::Image Layer::ciImage() const { return image() ? image()->ciImage() : ci::Image(); }

// ---- Content and resets ----

void Layer::setImageWithCIImageAndOriginUpdate(const ci::Image& ciImage) {
  ComposedImage* owner = composedImage();
  gfx::ImagePtr rendered = ima_nsImageWithSize(ciImage, owner ? owner->size() : QSizeF());
  if (!ci::isInfinite(ciImage.extent())) setOrigin(ciImage.extent().topLeft());
  if (Image* image = this->image()) image->setNsImage(rendered);
}

void Layer::resetPersistentGraphicalPropertiesKeepingNonVisibleFilters(bool keepNonVisible) {
  setXOrigin(0);
  setYOrigin(0);
  setRotationAngle(0);
  setAlpha(1);
  setVisible(true);
  setZoom(1);
  resetFiltersKeepingNonVisible(keepNonVisible);
}

// The filter chain and thumbnails are in LayerFilters.cpp.

// ---- Change reporting ----

void Layer::didChangeValueForKey(const QString& key) {
  if (!areNotificationsDisabled()) {
    if (key != "name" && !settingOrigin_) layerChanged();
    if (kTransformationKeys.contains(key)) {
      accumulator_.reset();
      fnd::NotificationCenter::defaultCenter().postNotificationName(
          IMSelectedLayerTransformationChange, this);
    }
  }
  IMManagedObject::didChangeValueForKey(key);
}

void Layer::layerChanged() {
  QVariantMap info;
  if (Image* pixels = image(); pixels && pixels->isAdoptingStoredPixels())
    info.insert(IMLayerPixelsArrivedKey, true);
  fnd::NotificationCenter::defaultCenter().postNotificationName(IMSelectedLayerDidChange, this,
                                                                info);
}

// The thumbnail is transient: its observers are told directly, without the
// change handling of the stored properties.
void Layer::setImagePreview(gfx::ImagePtr preview) {
  fnd::Observable::willChangeValueForKey("imagePreview");
  imagePreview_ = std::move(preview);
  fnd::Observable::didChangeValueForKey("imagePreview");
}

QSet<QString> Layer::keyPathsForValuesAffectingValueForKey(const QString& key) const {
  if (key == "filtersArray") return {"filters"};
  if (key == "imagePreview") return {"image"};
  if (key == "origin") return {"xOrigin", "yOrigin"};
  return IMManagedObject::keyPathsForValuesAffectingValueForKey(key);
}

// ---- ImageDelegate ----

void Layer::imageDidLoadNSImage(Image*) {
  // The preview generator draws once and never redraws an old rectangle.
  if (!ModelVariant::isPreviewGenerator()) updatePreviousClippingRect();
  filtersChanged();
}

void Layer::imageDidUpdateNSImage(Image*) { layerChanged(); }

void Layer::imageDidUpdateCIImage(Image* image) {
  if (image && image->ciImage().isNull()) accumulator_.reset();
  filtersChanged();
  updatePreviewImage();
}
