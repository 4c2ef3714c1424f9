#pragma once

#include "coredata/ManagedObjectContext.h"

namespace fnd {
class OperationQueue;
}

// A document's context: an ordinary context that also knows the two queues
// the model does background work on. It does not own them: the document owns
// the loading-and-saving queue, the window controller the cancellable one,
// and each clears its reference before the queue goes away.
class IMAManagedObjectContext : public cd::ManagedObjectContext {
 public:
  explicit IMAManagedObjectContext(ConcurrencyType type = MainQueueConcurrencyType);
  ~IMAManagedObjectContext() override;

  fnd::OperationQueue* loadingAndSavingOperationQueue() const { return loadingAndSaving_; }
  void setLoadingAndSavingOperationQueue(fnd::OperationQueue* queue) { loadingAndSaving_ = queue; }
  fnd::OperationQueue* cancellableOperationQueue() const { return cancellable_; }
  void setCancellableOperationQueue(fnd::OperationQueue* queue) { cancellable_ = queue; }

  // The context as an IMAManagedObjectContext, or null when it is of another
  // class (a migration or preview context, say).
  static IMAManagedObjectContext* fromContext(cd::ManagedObjectContext* context);

  // The queue an object of `context` does background work on: the document's
  // queue `member` when there is one, else the caller's own queue. `warning`
  // is logged when the context is not a document's.
  static fnd::OperationQueue* operationQueueOfContext(
      cd::ManagedObjectContext* context,
      fnd::OperationQueue* (IMAManagedObjectContext::*member)() const, const char* warning);

 private:
  fnd::OperationQueue* loadingAndSaving_ = nullptr;
  fnd::OperationQueue* cancellable_ = nullptr;
  quint64 willSaveObserver_ = 0;
};
