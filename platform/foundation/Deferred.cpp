#include "foundation/Deferred.h"

#include <QCoreApplication>
#include <QThread>
#include <QTimer>
#include <QtDebug>
#include <cmath>

#include "foundation/MainThread.h"
#include "foundation/OperationQueue.h"

namespace fnd {

void performOnNextLoop(std::function<void()> block) {
  auto* app = QCoreApplication::instance();
  if (!app || !block) return;
  QMetaObject::invokeMethod(app, std::move(block), Qt::QueuedConnection);
}

void performAfterDelay(double seconds, std::function<void()> block, OperationQueue* queue) {
  if (!block) return;
  auto* app = QCoreApplication::instance();
  if (!app) {
    qWarning("fnd::performAfterDelay: no application object, so no main loop to wait on");
    return;
  }
  const int milliseconds = seconds > 0 ? int(std::ceil(seconds * 1000.0)) : 0;
  auto arm = [milliseconds, block = std::move(block), queue]() mutable {
    // A precise timer never fires early, so the delay is a lower bound.
    QTimer::singleShot(milliseconds, Qt::PreciseTimer, QCoreApplication::instance(),
                       [block = std::move(block), queue]() mutable {
                         if (!queue || queue == OperationQueue::mainQueue()) {
                           block();
                         } else {
                           queue->addOperationWithBlock(std::move(block));
                         }
                       });
  };
  // Timers belong to the thread that starts them; only the main one is
  // sure to run an event loop.
  if (isMainThread()) {
    arm();
  } else {
    QMetaObject::invokeMethod(app, std::move(arm), Qt::QueuedConnection);
  }
}

}  // namespace fnd
