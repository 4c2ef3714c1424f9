// The process-wide notification centre: named broadcasts with an optional
// sender and a dictionary of details, delivered to blocks either on the
// posting thread or on an operation queue. Own code over QtCore threads.
#pragma once

#include <QString>
#include <QVariantMap>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace fnd {

class OperationQueue;

struct Notification {
  QString name;
  void* object = nullptr;
  QVariantMap userInfo;
};

class NotificationCenter {
 public:
  using ObserverToken = quint64;  // 0 never names an observer
  using Block = std::function<void(const Notification&)>;

  NotificationCenter();
  ~NotificationCenter();
  NotificationCenter(const NotificationCenter&) = delete;
  NotificationCenter& operator=(const NotificationCenter&) = delete;

  static NotificationCenter& defaultCenter();

  // An empty name matches every notification and a null object every
  // sender. With a queue the block runs asynchronously on that queue (which
  // must outlive the registration); without one it runs on the posting
  // thread before the post returns.
  ObserverToken addObserverForName(const QString& name, const void* object, OperationQueue* queue,
                                   Block block);

  // Delivered on the posting thread; `observer` only identifies the
  // registration so removeObserver(observer, ...) can find it later.
  ObserverToken addObserver(const void* observer, const QString& name, const void* object,
                            Block block);

  // Safe from any thread and from inside a block (including the block being
  // removed). Once removal returns, no new post reaches the block; a post
  // that another thread had already begun delivering may still call it, so
  // an observer freed right after removal must not be used by its block
  // from other threads without its own guard.
  void removeObserver(ObserverToken token);
  // Removes the observer's registrations whose name and object match; an
  // empty name or null object matches all of them.
  void removeObserver(const void* observer, const QString& name = {}, const void* object = nullptr);

  void postNotificationName(const QString& name, void* object = nullptr,
                            const QVariantMap& userInfo = {});
  void postNotification(const Notification& notification);

  // How many registrations are live (for leak checks in tests).
  int observerCount() const;

 private:
  struct Registration;
  ObserverToken insert(const void* observer, const QString& name, const void* object,
                       OperationQueue* queue, Block block);
  mutable std::mutex mutex_;
  std::vector<std::shared_ptr<Registration>> registrations_;
  ObserverToken nextToken_ = 1;
};

}  // namespace fnd
