#include "foundation/UndoManager.h"

#include <QObject>
#include <QtDebug>

#include "foundation/Localized.h"
#include "foundation/NotificationCenter.h"

namespace fnd {

// A group is a list of entries, each either one registered action or a
// nested group that was closed inside it.
struct UndoManager::Group {
  struct Entry {
    const void* target = nullptr;
    std::function<void()> handler;
    GroupPtr nested;
  };
  QString actionName;
  QList<Entry> entries;
  quint64 serial = 0;  // tells groups apart, even one reusing a freed one's address

  bool isEmpty() const { return entries.isEmpty(); }

  // Removes target's actions; returns whether anything is left.
  bool prune(const void* target) {
    entries.removeIf([target](const Entry& entry) {
      if (entry.nested) return !entry.nested->prune(target);
      return entry.target == target;
    });
    return !entries.isEmpty();
  }

  // Reverse order of registration, nested groups included.
  void runBackwards() const {
    const auto snapshot = entries;  // handlers may edit the stacks
    for (auto it = snapshot.crbegin(); it != snapshot.crend(); ++it) {
      if (it->nested) {
        it->nested->runBackwards();
      } else if (it->handler) {
        it->handler();
      }
    }
  }
};

UndoManager::UndoManager() : loopHook_(std::make_unique<QObject>()) {}

UndoManager::~UndoManager() = default;

void UndoManager::post(const QString& name) {
  NotificationCenter::defaultCenter().postNotificationName(name, this);
}

QList<UndoManager::GroupPtr>& UndoManager::activeGroups() {
  return collecting_ ? *collecting_ : openGroups_;
}

const QList<UndoManager::GroupPtr>& UndoManager::activeGroups() const {
  return collecting_ ? *collecting_ : openGroups_;
}

void UndoManager::registerUndoWithTarget(const void* target, std::function<void()> handler) {
  if (!isUndoRegistrationEnabled() || !handler) return;
  if (activeGroups().isEmpty()) {
    if (!groupsByEvent_) {
      qWarning("fnd::UndoManager: registration with no group open and grouping by event off");
      return;
    }
    openAutomaticGroup();
  }
  activeGroups().last()->entries.append({target, std::move(handler), nullptr});
  if (!undoing_ && !redoing_) redoStack_.clear();
  publishState();
}

void UndoManager::openAutomaticGroupIfNeeded() {
  if (!groupsByEvent_ || !isUndoRegistrationEnabled() || undoing_ || redoing_ ||
      !activeGroups().isEmpty())
    return;
  openAutomaticGroup();
}

// The checkpoint comes first and may register work left pending, which
// opens the automatic group already: then that one is the group.
void UndoManager::openAutomaticGroup() {
  post(UndoManagerCheckpointNotification);
  if (!activeGroups().isEmpty()) return;
  activeGroups().append(newGroup());
  automaticGroupOpen_ = true;
  post(UndoManagerDidOpenUndoGroupNotification);
  scheduleAutomaticClose();
}

void UndoManager::scheduleAutomaticClose() {
  const quint64 generation = ++automaticGeneration_;
  // Posted to the loop of the thread that owns loopHook_; deleting the hook
  // with this manager discards a call still waiting.
  QMetaObject::invokeMethod(
      loopHook_.get(),
      [this, generation] {
        if (generation == automaticGeneration_) closeAutomaticGroup();
      },
      Qt::QueuedConnection);
}

void UndoManager::beginUndoGrouping() {
  post(UndoManagerCheckpointNotification);
  activeGroups().append(newGroup());
  post(UndoManagerDidOpenUndoGroupNotification);
}

void UndoManager::endUndoGrouping() {
  auto& groups = activeGroups();
  // While replaying, the bottom group collects the inverse and is not the caller's to close.
  const int floor = collecting_ ? 1 : 0;
  if (groups.size() <= floor) {
    qWarning("fnd::UndoManager::endUndoGrouping: no group is open");
    return;
  }
  post(UndoManagerCheckpointNotification);
  post(UndoManagerWillCloseUndoGroupNotification);
  GroupPtr group = groups.takeLast();
  bool becameStep = false;
  if (groups.isEmpty()) {
    automaticGroupOpen_ = false;
    if (!group->isEmpty()) {
      undoStack_.append(group);
      trim(undoStack_);
      becameStep = true;
    }
  } else if (!group->isEmpty()) {
    groups.last()->entries.append({nullptr, nullptr, group});
  }
  NotificationCenter::defaultCenter().postNotificationName(
      UndoManagerDidCloseUndoGroupNotification, this,
      {{UndoManagerGroupBecameUndoStepKey, becameStep}});
  publishState();
}

int UndoManager::groupingLevel() const { return int(activeGroups().size()); }

void UndoManager::closeAutomaticGroup() {
  if (!automaticGroupOpen_ || collecting_) return;
  if (openGroups_.size() == 1) {
    endUndoGrouping();
  } else if (openGroups_.size() > 1) {
    // Someone still has a nested group open; try again next pass.
    scheduleAutomaticClose();
  }
}

bool UndoManager::closeSingleGroupBeforeReplay(const char* caller) {
  if (undoing_ || redoing_) {
    qWarning("fnd::UndoManager::%s: called while undoing or redoing", caller);
    return false;
  }
  if (openGroups_.size() > 1) {
    qWarning("fnd::UndoManager::%s: nested undo groups are still open", caller);
    return false;
  }
  if (openGroups_.size() == 1) endUndoGrouping();
  return true;
}

void UndoManager::undo() {
  if (closeSingleGroupBeforeReplay("undo")) undoNestedGroup();
}

void UndoManager::undoNestedGroup() {
  if (undoing_ || redoing_ || !openGroups_.isEmpty()) {
    qWarning("fnd::UndoManager::undoNestedGroup: a group is open or a replay is running");
    return;
  }
  replayTop(undoStack_, undoing_, UndoManagerWillUndoChangeNotification,
            UndoManagerDidUndoChangeNotification);
}

void UndoManager::redo() {
  if (!closeSingleGroupBeforeReplay("redo")) return;
  replayTop(redoStack_, redoing_, UndoManagerWillRedoChangeNotification,
            UndoManagerDidRedoChangeNotification);
}

void UndoManager::replayTop(QList<GroupPtr>& stack, bool& flag, const QString& willName,
                            const QString& didName) {
  post(UndoManagerCheckpointNotification);
  if (stack.isEmpty()) return;
  post(willName);
  GroupPtr group = stack.takeLast();
  flag = true;
  replay(group, &stack == &undoStack_);
  flag = false;
  post(didName);
  publishState();
}

void UndoManager::replay(const GroupPtr& group, bool undoing) {
  // What the handlers register while they run is the inverse of `group`:
  // it goes to the other stack as one group under the same name.
  QList<GroupPtr> collector{std::make_shared<Group>()};
  collector.first()->actionName = group->actionName;
  QList<GroupPtr>* outer = collecting_;
  collecting_ = &collector;
  group->runBackwards();
  while (collector.size() > 1) {
    qWarning("fnd::UndoManager: an undo handler left a group open; closing it");
    GroupPtr nested = collector.takeLast();
    if (!nested->isEmpty()) collector.last()->entries.append({nullptr, nullptr, nested});
  }
  collecting_ = outer;
  GroupPtr inverse = collector.first();
  if (inverse->isEmpty()) return;
  QList<GroupPtr>& stack = undoing ? redoStack_ : undoStack_;
  stack.append(inverse);
  trim(stack);
}

bool UndoManager::openGroupHasActions() const {
  return !openGroups_.isEmpty() && !openGroups_.first()->isEmpty();
}

bool UndoManager::canUndo() const {
  return !undoStack_.isEmpty() || (openGroups_.size() == 1 && openGroupHasActions());
}

bool UndoManager::canRedo() const { return !redoStack_.isEmpty(); }

void UndoManager::trim(QList<GroupPtr>& stack) {
  while (levelsOfUndo_ > 0 && stack.size() > levelsOfUndo_) stack.removeFirst();
}

void UndoManager::setLevelsOfUndo(int levels) {
  levelsOfUndo_ = std::max(levels, 0);
  trim(undoStack_);
  trim(redoStack_);
  publishState();
}

UndoManager::Group* UndoManager::namedGroup() const {
  if (collecting_) return collecting_->first().get();
  if (!openGroups_.isEmpty()) return openGroups_.first().get();
  if (!undoStack_.isEmpty()) return undoStack_.last().get();
  return nullptr;
}

void UndoManager::setActionName(const QString& name) {
  if (Group* group = namedGroup()) group->actionName = name;
}

QString UndoManager::undoActionName() const {
  if (openGroupHasActions()) return openGroups_.first()->actionName;
  return undoStack_.isEmpty() ? QString() : undoStack_.last()->actionName;
}

QString UndoManager::redoActionName() const {
  return redoStack_.isEmpty() ? QString() : redoStack_.last()->actionName;
}

QString UndoManager::undoMenuItemTitle() const {
  const QString name = undoActionName();
  return name.isEmpty() ? localized("Undo") : localized("Undo %1").arg(name);
}

QString UndoManager::redoMenuItemTitle() const {
  const QString name = redoActionName();
  return name.isEmpty() ? localized("Redo") : localized("Redo %1").arg(name);
}

void UndoManager::removeAllActions() {
  undoStack_.clear();
  redoStack_.clear();
  openGroups_.clear();
  automaticGroupOpen_ = false;
  publishState();
}

void UndoManager::removeAllActionsWithTarget(const void* target) {
  auto pruneStack = [target](QList<GroupPtr>& stack) {
    stack.removeIf([target](const GroupPtr& group) { return !group->prune(target); });
  };
  pruneStack(undoStack_);
  pruneStack(redoStack_);
  // Open groups stay open, even if emptied: their callers will close them.
  for (const auto& group : openGroups_) group->prune(target);
  publishState();
}

void UndoManager::disableUndoRegistration() { ++disableCount_; }

void UndoManager::enableUndoRegistration() {
  if (disableCount_ == 0) {
    qWarning("fnd::UndoManager::enableUndoRegistration: not disabled");
    return;
  }
  --disableCount_;
}

void UndoManager::publishState() {
  // A replay publishes once, when it is over.
  if (undoing_ || redoing_) return;
  const bool undoable = canUndo();
  if (undoable != publishedCanUndo_) {
    willChangeValueForKey(QStringLiteral("canUndo"));
    publishedCanUndo_ = undoable;
    didChangeValueForKey(QStringLiteral("canUndo"));
  }
  const bool redoable = canRedo();
  if (redoable != publishedCanRedo_) {
    willChangeValueForKey(QStringLiteral("canRedo"));
    publishedCanRedo_ = redoable;
    didChangeValueForKey(QStringLiteral("canRedo"));
  }
}

QVariant UndoManager::valueForKey(const QString& key) const {
  if (key == QLatin1String("canUndo")) return publishedCanUndo_;
  if (key == QLatin1String("canRedo")) return publishedCanRedo_;
  if (key == QLatin1String("undoActionName")) return undoActionName();
  if (key == QLatin1String("redoActionName")) return redoActionName();
  if (key == QLatin1String("groupingLevel")) return groupingLevel();
  if (key == QLatin1String("levelsOfUndo")) return levelsOfUndo_;
  return Observable::valueForKey(key);
}

UndoManager::GroupPtr UndoManager::newGroup() {
  auto group = std::make_shared<Group>();
  group->serial = ++groupSerial_;
  return group;
}

quint64 UndoManager::openStepSerial() const {
  if (undoing_ || redoing_ || disableCount_ > 0 || openGroups_.isEmpty()) return 0;
  return openGroups_.first()->serial;
}

}  // namespace fnd
