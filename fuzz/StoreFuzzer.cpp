// Fuzzes opening a document's store: the fuzzed bytes are written as a
// SQLite file, its metadata read, the store added and every object of every
// entity fetched with all its values, then the composed image's layers read
// (pixels, text, filters) and a corner of the canvas flattened, as a window
// showing the document would.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>

#include "FuzzSupport.h"
#include "coredata/FetchRequest.h"
#include "coredata/PersistentStoreCoordinator.h"
#include "foundation/OperationQueue.h"
#include "model/ComposedImage.h"
#include "model/IMAManagedObjectContext.h"
#include "model/IMManagedObject.h"
#include "model/Image.h"
#include "model/Layer.h"
#include "model/TextLayer.h"

namespace {

QString storePath() { return fuzz::privateFolder() + "/fuzzed.zova"; }

void writeStore(const QByteArray& bytes) {
  for (const char* suffix : {"", "-journal", "-wal", "-shm"})
    QFile::remove(storePath() + QLatin1String(suffix));
  QFile file(storePath());
  if (file.open(QIODevice::WriteOnly)) file.write(bytes);
}

void readEveryObject(cd::ManagedObjectContext& context, const cd::ManagedObjectModel& model) {
  for (cd::EntityDescription* entity : model.entities()) {
    fnd::Error error;
    const cd::ObjectList objects =
        context.executeFetchRequest(cd::FetchRequest(entity->name()), &error);
    for (cd::ManagedObject* object : objects)
      for (cd::PropertyDescription* property : object->entity()->properties())
        object->valueForKey(property->name());
  }
}

void readLayers(ComposedImage* composedImage) {
  const QList<Layer*> layers = composedImage->layersArray();
  for (Layer* layer : layers) {
    if (auto* text = dynamic_cast<TextLayer*>(layer))
      text->attributedString();
    else if (Image* image = layer->image())
      image->nsImage();
    layer->filtersArray();
  }
  composedImage->finalImageKeepAlpha(true, layers, QRectF(0, 0, 32, 32));
}

void drain(fnd::OperationQueue& queue) {
  QElapsedTimer timer;
  timer.start();
  while ((queue.operationCount() > 0 || Image::pendingCacheWrites() > 0 ||
          fnd::OperationQueue::mainQueue()->operationCount() > 0) &&
         timer.elapsed() < 10000)
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  QCoreApplication::processEvents();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  writeStore(fuzz::bytes(data, size));
  const QUrl url = QUrl::fromLocalFile(storePath());
  fnd::Error error;
  if (cd::PersistentStoreCoordinator::metadataForPersistentStoreOfType(cd::SQLiteStoreType, url,
                                                                       &error)
          .isEmpty())
    return 0;
  cd::ManagedObjectModelPtr model = IMManagedObject::managedObjectModel();
  cd::PersistentStoreCoordinator coordinator(model);
  if (!coordinator.addPersistentStoreWithType(cd::SQLiteStoreType, {}, url, {}, &error)) return 0;
  fnd::OperationQueue queue;
  {
    IMAManagedObjectContext context;
    context.setPersistentStoreCoordinator(&coordinator);
    context.setLoadingAndSavingOperationQueue(&queue);
    readEveryObject(context, *model);
    if (ComposedImage* composedImage =
            ComposedImage::composedImageForManagedObjectContext(&context, &error))
      readLayers(composedImage);
    drain(queue);
    context.setLoadingAndSavingOperationQueue(nullptr);
  }
  return 0;
}
