// Runs a device operation on a worker thread and hands its result to the
// main thread. Devices get a pool of their own so a slow scanner never holds
// up the render engine's workers.
#pragma once

#include <QMetaObject>
#include <QObject>
#include <QPointer>
#include <QThreadPool>
#include <functional>
#include <memory>

namespace capture {

QThreadPool& devicePool();

// `work` runs on a worker; `done` then runs on the thread of `context`,
// unless `context` is gone by then.
template <typename T>
void runInBackground(QObject* context, std::function<T()> work, std::function<void(T)> done) {
  QPointer<QObject> receiver(context);
  devicePool().start([receiver, work = std::move(work), done = std::move(done)]() mutable {
    auto result = std::make_shared<T>(work());
    if (!receiver) return;
    QMetaObject::invokeMethod(
        receiver.data(), [result, done = std::move(done)] { done(std::move(*result)); },
        Qt::QueuedConnection);
  });
}

}  // namespace capture
