#include "foundation/NotificationCenter.h"

#include <atomic>

#include "foundation/OperationQueue.h"

namespace fnd {

struct NotificationCenter::Registration {
  ObserverToken token = 0;
  const void* observer = nullptr;
  QString name;
  const void* object = nullptr;
  OperationQueue* queue = nullptr;
  Block block;
  // Set under the centre's lock; read by deliveries already under way,
  // which is what keeps a removed block from being called afterwards.
  std::atomic<bool> removed{false};

  bool matches(const Notification& notification) const {
    return (name.isEmpty() || name == notification.name) &&
           (object == nullptr || object == notification.object);
  }
};

NotificationCenter::NotificationCenter() = default;
NotificationCenter::~NotificationCenter() = default;

NotificationCenter& NotificationCenter::defaultCenter() {
  // Never destroyed: objects torn down at exit may still remove observers.
  static auto* center = new NotificationCenter;
  return *center;
}

NotificationCenter::ObserverToken NotificationCenter::addObserverForName(const QString& name,
                                                                         const void* object,
                                                                         OperationQueue* queue,
                                                                         Block block) {
  return insert(nullptr, name, object, queue, std::move(block));
}

NotificationCenter::ObserverToken NotificationCenter::addObserver(const void* observer,
                                                                  const QString& name,
                                                                  const void* object, Block block) {
  return insert(observer, name, object, nullptr, std::move(block));
}

NotificationCenter::ObserverToken NotificationCenter::insert(const void* observer,
                                                             const QString& name,
                                                             const void* object,
                                                             OperationQueue* queue, Block block) {
  if (!block) return 0;
  auto registration = std::make_shared<Registration>();
  registration->observer = observer;
  registration->name = name;
  registration->object = object;
  registration->queue = queue;
  registration->block = std::move(block);
  std::lock_guard lock(mutex_);
  registration->token = nextToken_++;
  registrations_.push_back(registration);
  return registration->token;
}

void NotificationCenter::removeObserver(ObserverToken token) {
  if (token == 0) return;
  std::lock_guard lock(mutex_);
  std::erase_if(registrations_, [token](const std::shared_ptr<Registration>& registration) {
    if (registration->token != token) return false;
    registration->removed = true;
    return true;
  });
}

void NotificationCenter::removeObserver(const void* observer, const QString& name,
                                        const void* object) {
  if (!observer) return;
  std::lock_guard lock(mutex_);
  std::erase_if(registrations_, [&](const std::shared_ptr<Registration>& registration) {
    bool match = registration->observer == observer &&
                 (name.isEmpty() || registration->name == name) &&
                 (object == nullptr || registration->object == object);
    if (match) registration->removed = true;
    return match;
  });
}

void NotificationCenter::postNotificationName(const QString& name, void* object,
                                              const QVariantMap& userInfo) {
  postNotification(Notification{name, object, userInfo});
}

void NotificationCenter::postNotification(const Notification& notification) {
  std::vector<std::shared_ptr<Registration>> targets;
  {
    std::lock_guard lock(mutex_);
    for (const auto& registration : registrations_) {
      if (registration->matches(notification)) targets.push_back(registration);
    }
  }
  // Blocks run without the lock held so they may post, add or remove freely.
  for (const auto& registration : targets) {
    if (registration->removed) continue;
    if (!registration->queue) {
      registration->block(notification);
      continue;
    }
    registration->queue->addOperationWithBlock([registration, notification] {
      if (!registration->removed) registration->block(notification);
    });
  }
}

int NotificationCenter::observerCount() const {
  std::lock_guard lock(mutex_);
  return int(registrations_.size());
}

}  // namespace fnd
