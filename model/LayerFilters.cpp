// The layer's filter chain, its panel thumbnail and the filters pasted or
// dropped onto it.
#include <QCoreApplication>
#include <QSet>
#include <QThread>

#include "appkit/core/Pasteboard.h"
#include "coredata/ManagedObjectContext.h"
#include "coreimage/Filter.h"
#include "foundation/Deferred.h"
#include "foundation/KeyedUnarchiver.h"
#include "foundation/MainThread.h"
#include "foundation/OperationQueue.h"
#include "foundation/Timer.h"
#include "model/ComposedImage.h"
#include "model/Filter.h"
#include "model/FilterParameter.h"
#include "model/IMAManagedObjectContext.h"
#include "model/IMFoundationExtra.h"
#include "model/IMImagesUtilities.h"
#include "model/Image.h"
#include "model/Layer.h"
#include "model/ModelVariant.h"
#include "model/Settings.h"

namespace {

constexpr double kPreviewDelay = 0.5;

// Whether a filter of this name takes the running image as its input; a
// generator does not, and replaces what the chain made so far.
bool takesInputImage(const QString& name) {
  ci::FilterPtr fresh = ci::Filter::filterWithName(name);
  return fresh && fresh->inputKeys().contains(ci::kCIInputImageKey);
}

// The filters, their parameters and the parameters' images: everything a
// pasted archive may legitimately bring into the context.
QSet<cd::ManagedObject*> pastedGraph(const QList<Filter*>& filters) {
  QSet<cd::ManagedObject*> graph;
  for (Filter* filter : filters) {
    graph.insert(filter);
    for (cd::ManagedObject* object : filter->relatedObjects("filterParameters")) {
      graph.insert(object);
      if (auto* parameter = dynamic_cast<FilterParameter*>(object))
        if (Image* image = parameter->image()) graph.insert(image);
    }
  }
  return graph;
}

// A pasted image arrives with the copied pixels as stored data and no
// version; it becomes a version of its own (token and cache file) now,
// not when something first happens to ask for it.
void adoptPastedImages(const QList<Filter*>& filters) {
  for (cd::ManagedObject* object : pastedGraph(filters))
    if (auto* image = dynamic_cast<Image*>(object))
      if (!image->hasInMemoryVersion() && !image->storedImageData().isEmpty()) image->nsImage();
}

}  // namespace

bool im_countainsAtLeatOneActiveFilter(const QList<Filter*>& filters) {
  for (Filter* filter : filters)
    if (filter && filter->enabled()) return true;
  return false;
}

// ---- The chain ----

void Layer::filtersChanged() {
  ci::Image running = ciImage();
  const QList<Filter*> filters = filtersArray();
  if (running.isNull() || !im_countainsAtLeatOneActiveFilter(filters)) {
    setFilteredCIImage(ci::Image());
    layerChanged();
    return;
  }
  // The last filter works on the layer's own pixels, index 0 on the result
  // of all the others. Reading a filter's values fires it when it is a fault.
  for (qsizetype i = filters.size() - 1; i >= 0; --i) {
    Filter* filter = filters[i];
    if (!filter->enabled()) continue;
    ci::FilterPtr ciFilter = filter->ciFilter();
    if (!ciFilter || !filter->isReadyForDrawing()) continue;
    if (takesInputImage(filter->name()))
      ciFilter->setValue(QVariant::fromValue(running), ci::kCIInputImageKey);
    running = ciFilter->outputImage();
  }
  // A chain that ends in nothing leaves the last good result on the canvas.
  // The result keeps the pixels it renders for as long as this version of
  // the chain lasts: redrawing a part already shown costs a copy. Every
  // change to the image, the filters or their values runs the chain again
  // and so starts a new cache.
  if (!running.isNull()) setFilteredCIImage(running.imageByCachingPixels());
  layerChanged();
}

void Layer::resetFiltersKeepingNonVisible(bool keepNonVisible) {
  cd::ManagedObjectContext* context = managedObjectContext();
  if (keepNonVisible) {
    QList<Filter*> enabled;
    for (Filter* filter : filtersArray())
      if (filter->enabled()) enabled.append(filter);
    if (context) {
      for (Filter* filter : enabled) context->deleteObject(filter);
      if (!enabled.isEmpty()) {
        context->processPendingChanges();
        fnd::NotificationCenter::defaultCenter().postNotificationName(
            IMLayerSnapshotEventNotification, this);
      }
    }
  } else {
    // Filters taken off the layer are deleted too: a filter without a layer
    // would otherwise reach the store as an orphan.
    const QList<Filter*> removed = filtersArray();
    setFiltersArray({});
    if (context && !removed.isEmpty()) {
      for (Filter* filter : removed) context->deleteObject(filter);
      context->processPendingChanges();
    }
  }
  filtersChanged();
}

void Layer::insertFilter(Filter* filter, unsigned index) {
  if (!filter) return;
  const auto count = unsigned(relatedObjects("filters").size());
  insertObjects({filter}, fnd::IndexSet(qMin(index, count)), "filters");
}

void Layer::addFiltersArray(const QList<Filter*>& filters, unsigned index) {
  for (Filter* filter : filters) {
    insertFilter(filter, index++);
    // The insertion already set the inverse; setting it again must not move
    // the filter to the end of the list.
    if (filter && filter->layer() != this)
      filter->setValue(QVariant::fromValue<cd::ManagedObject*>(this), "layer");
  }
  filtersChanged();
}

// ---- Pasted and dropped filters ----

bool Layer::addFiltersFromPasteboard(ui::Pasteboard* pasteboard) {
  return addFiltersFromPasteboard(pasteboard, 0);
}

bool Layer::addFiltersFromPasteboard(ui::Pasteboard* pasteboard, unsigned index) {
  cd::ManagedObjectContext* context = managedObjectContext();
  if (!pasteboard || !context || !pasteboard->types().contains(IMFiltersPasteboardType))
    return false;
  const QByteArray archive = pasteboard->propertyListForType(IMFiltersPasteboardType).toByteArray();
  const cd::ObjectList before = context->insertedObjects();
  const QSet<cd::ManagedObject*> existing(before.begin(), before.end());

  IMManagedObject::setTempDecodingManagedObjectContext(context);
  fnd::Error error;
  const QVariant root = fnd::KeyedUnarchiver::unarchiveObjectWithData(archive, &error);
  QList<Filter*> filters;
  if (error.isNull())
    for (const QVariant& item : root.toList())
      if (auto* filter = dynamic_cast<Filter*>(IMManagedObject::fromArchivedValue(item)))
        filters.append(filter);
  IMManagedObject::resetTempDecodingManagedObjectContext();

  // The data may come from any program: whatever it made besides filters
  // with their parameters and images (other entities, or everything when
  // the archive was broken) leaves the context again.
  const QSet<cd::ManagedObject*> kept = pastedGraph(filters);
  bool strays = false;
  for (cd::ManagedObject* object : context->insertedObjects())
    if (!existing.contains(object) && !kept.contains(object)) {
      context->deleteObject(object);
      strays = true;
    }
  if (strays) context->processPendingChanges();
  if (!error.isNull())
    qWarning("addFiltersFromPasteboard: %s", qPrintable(error.localizedDescription()));
  if (filters.isEmpty()) return false;
  adoptPastedImages(filters);
  addFiltersArray(filters, index);
  return true;
}

// ---- Thumbnails ----

namespace {

// Whether a stroke paints a layer of `owner` now.
bool isPaintingInDocument(ComposedImage* owner) {
  if (!owner) return false;
  for (Layer* layer : owner->layersArray())
    if (!layer->emptyAccumulator()) return true;
  return false;
}

// The image's 8-bit pixels when `source` is nothing but those pixels, one
// per point; null otherwise (a page, a recipe, pixels decoded reduced).
gfx::CGImagePtr eightBitPixelsOf(Image* image, const ci::Image& source) {
  const gfx::ImagePtr local = image ? image->localImage() : nullptr;
  const auto rep = ima_imageRepOfClass<gfx::BitmapImageRep>(local);
  const gfx::CGImagePtr pixels = rep ? rep->cgImage() : nullptr;
  if (!pixels || pixels->qImage().format() != QImage::Format_ARGB32_Premultiplied) return nullptr;
  const QSizeF size(pixels->qImage().size());
  if (source.isNull() || source.extent() != QRectF(QPointF(0, 0), size) || local->size() != size)
    return nullptr;
  return pixels;
}

}  // namespace

fnd::OperationQueue* Layer::cancellableOperationQueue() const {
  return IMAManagedObjectContext::operationQueueOfContext(
      managedObjectContext(), &IMAManagedObjectContext::cancellableOperationQueue,
      "cancellableOperationQueue - managedObjectContext does not contain a queue !");
}

void Layer::updatePreviewImage() {
  if (ModelVariant::isPreviewGenerator()) return;  // it has no layers panel
  std::weak_ptr<int> alive = lifeToken_;
  // The delay is counted on the main loop whichever thread asks (a worker
  // thread has no loop of its own to count it on).
  if (!fnd::isMainThread()) {
    fnd::performOnNextLoop([this, alive] {
      if (!alive.expired()) updatePreviewImage();
    });
    return;
  }
  // Only the thumbnail request is replaced; other delayed work stays.
  if (previewTimer_) previewTimer_->invalidate();
  previewTimer_ = fnd::Timer::scheduledTimer(kPreviewDelay, false, [this, alive](fnd::Timer&) {
    if (alive.expired()) return;
    previewTimer_.reset();
    // A stroke in progress has the workers to itself: the thumbnail waits
    // for a moment after it.
    if (isPaintingInDocument(composedImage())) return updatePreviewImage();
    delayedUpdatePreviewImage();
  });
}

void Layer::delayedUpdatePreviewImage() {
  fnd::OperationQueue* mainQueue = fnd::OperationQueue::mainQueue();
  const ci::Image source = ciImage();
  const gfx::CGImagePtr pixels = eightBitPixelsOf(image(), source);
  ComposedImage* owner = composedImage();
  const QSizeF size = owner ? owner->layerPreviewImagesSize() : QSizeF();
  const QColor gridColor = Settings::drawingGridColor();
  std::weak_ptr<int> alive = lifeToken_;
  // The operation reads only what it captured, never the managed objects.
  auto operation = fnd::Operation::blockOperation([=, this] {
    if (size.width() == 0 || size.height() == 0) return;
    gfx::ImagePtr preview;
    if (source.isNull())
      preview = gfx::Image::make(size);
    else if (pixels)
      preview = ima_previewImageWithPixelSize(pixels, size, gridColor);
    else
      preview = ima_previewImageWithPixelSize(source, size, gridColor);
    fnd::dispatchToQueue(mainQueue, [this, alive, preview] {
      if (alive.expired() || isFault() || isDeleted() || !managedObjectContext()) return;
      setImagePreview(preview);
    });
  });
  fnd::OperationQueue* queue = cancellableOperationQueue();
  if (queue) {
    queue->addOperation(operation);
  } else {
    operation->start();
  }
  // A thumbnail still waiting for its turn is out of date now.
  if (std::shared_ptr<fnd::Operation> previous = previewOperation_.lock())
    if (!previous->isExecuting() && !previous->isFinished()) previous->cancel();
  previewOperation_ = operation;
}
