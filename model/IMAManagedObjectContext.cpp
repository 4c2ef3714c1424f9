#include "model/IMAManagedObjectContext.h"

#include <QtDebug>

#include "foundation/NotificationCenter.h"
#include "foundation/OperationQueue.h"
#include "model/Image.h"

namespace {

QList<cd::ManagedObject*> savedObjects(const fnd::Notification& notification) {
  QList<cd::ManagedObject*> objects;
  for (const QString& key : {cd::InsertedObjectsKey, cd::UpdatedObjectsKey})
    for (const QVariant& object : notification.userInfo.value(key).toList())
      objects.append(object.value<cd::ManagedObject*>());
  return objects;
}

}  // namespace

IMAManagedObjectContext::IMAManagedObjectContext(ConcurrencyType type)
    : cd::ManagedObjectContext(type) {
  // The images of a save are encoded together, before the objects' own
  // will-save hooks run one by one.
  willSaveObserver_ = fnd::NotificationCenter::defaultCenter().addObserverForName(
      cd::ManagedObjectContextWillSaveNotification, this, nullptr,
      [](const fnd::Notification& notification) {
        Image::prepareImagesForSave(savedObjects(notification));
      });
}

IMAManagedObjectContext::~IMAManagedObjectContext() {
  fnd::NotificationCenter::defaultCenter().removeObserver(willSaveObserver_);
}

IMAManagedObjectContext* IMAManagedObjectContext::fromContext(cd::ManagedObjectContext* context) {
  return dynamic_cast<IMAManagedObjectContext*>(context);
}

fnd::OperationQueue* IMAManagedObjectContext::operationQueueOfContext(
    cd::ManagedObjectContext* context,
    fnd::OperationQueue* (IMAManagedObjectContext::*member)() const, const char* warning) {
  if (!context) return fnd::OperationQueue::currentQueue();
  IMAManagedObjectContext* documentContext = fromContext(context);
  if (!documentContext) {
    qWarning("%s", warning);
    return fnd::OperationQueue::currentQueue();
  }
  if (fnd::OperationQueue* queue = (documentContext->*member)()) return queue;
  return fnd::OperationQueue::currentQueue();
}
