// The undo manager: stacks of undo and redo groups of closures, grouped by
// the main-loop pass by default, with action names for menu titles and
// notifications on the default centre. Own code over the Qt event loop.
#pragma once

#include <QList>
#include <QString>
#include <functional>
#include <memory>

#include "foundation/Observable.h"

class QObject;

namespace fnd {

// Posted on NotificationCenter::defaultCenter() with the undo manager as object.
inline const QString UndoManagerCheckpointNotification =
    QStringLiteral("NSUndoManagerCheckpointNotification");
inline const QString UndoManagerDidOpenUndoGroupNotification =
    QStringLiteral("NSUndoManagerDidOpenUndoGroupNotification");
inline const QString UndoManagerWillCloseUndoGroupNotification =
    QStringLiteral("NSUndoManagerWillCloseUndoGroupNotification");
inline const QString UndoManagerDidCloseUndoGroupNotification =
    QStringLiteral("NSUndoManagerDidCloseUndoGroupNotification");
inline const QString UndoManagerWillUndoChangeNotification =
    QStringLiteral("NSUndoManagerWillUndoChangeNotification");
inline const QString UndoManagerDidUndoChangeNotification =
    QStringLiteral("NSUndoManagerDidUndoChangeNotification");
inline const QString UndoManagerWillRedoChangeNotification =
    QStringLiteral("NSUndoManagerWillRedoChangeNotification");
inline const QString UndoManagerDidRedoChangeNotification =
    QStringLiteral("NSUndoManagerDidRedoChangeNotification");
// In the userInfo of the did-close notification: true when the closed group
// became a new step on the undo stack (a top-level group that was not empty).
inline const QString UndoManagerGroupBecameUndoStepKey =
    QStringLiteral("TessalyUndoManagerGroupBecameUndoStep");

// Observable keys "canUndo" and "canRedo" (bool); observers hear about a
// change once the operation that caused it has finished. Used on the thread
// that created it, whose event loop closes the automatic groups.
class UndoManager : public Observable {
 public:
  UndoManager();
  ~UndoManager() override;
  UndoManager(const UndoManager&) = delete;
  UndoManager& operator=(const UndoManager&) = delete;

  // Adds to the open group. While undoing the handler lands on the redo
  // stack, while redoing on the undo stack; any other registration clears
  // the redo stack. With no group open it opens the automatic group when
  // groupsByEvent() holds, and is dropped with a warning otherwise.
  void registerUndoWithTarget(const void* target, std::function<void()> handler);

  void beginUndoGrouping();
  // An empty group is discarded; a nested group becomes one entry of its parent.
  void endUndoGrouping();
  int groupingLevel() const;

  // When true (the default), the first registration with no group open opens
  // a group that closes at the end of the current pass of the event loop of
  // the thread that created this manager.
  bool groupsByEvent() const { return groupsByEvent_; }
  void setGroupsByEvent(bool value) { groupsByEvent_ = value; }
  // Closes the automatic group if it is still the only open group; the loop
  // hook calls this, and so may tests or a save that must not leave the
  // step of the current pass open behind it.
  void closeAutomaticGroup();
  // Opens the automatic group now, as the first registration of the pass
  // would, when grouping by event with registration on, no group open and
  // no undo or redo running. A change recorder calls it at its first change
  // of a pass, so that everything changed before the loop comes back is one
  // step, whenever it gets registered.
  void openAutomaticGroupIfNeeded();

  // Closes a single open group first, then undoes the last group.
  void undo();
  // Runs the inverse of the last undo, the same way.
  void redo();
  // Undoes the last group on the undo stack; needs no group open.
  void undoNestedGroup();
  bool canUndo() const;
  bool canRedo() const;

  // 0 means unlimited; when exceeded the oldest groups are dropped.
  int levelsOfUndo() const { return levelsOfUndo_; }
  void setLevelsOfUndo(int levels);

  // Names the group being built (or, with none open, the last one).
  void setActionName(const QString& name);
  QString undoActionName() const;
  QString redoActionName() const;
  // "Undo <name>" / "Redo <name>", or just "Undo" / "Redo" without a name.
  QString undoMenuItemTitle() const;
  QString redoMenuItemTitle() const;

  void removeAllActions();
  // Drops every action for `target` from both stacks and the open groups;
  // groups left empty disappear.
  void removeAllActionsWithTarget(const void* target);

  // Calls nest: registration resumes when every disable has been matched.
  void disableUndoRegistration();
  void enableUndoRegistration();
  bool isUndoRegistrationEnabled() const { return disableCount_ == 0; }

  bool isUndoing() const { return undoing_; }
  bool isRedoing() const { return redoing_; }

  // The step being built: the outermost open group, told apart from every
  // other group this manager opened; 0 while none is open, while undoing or
  // redoing, or while registration is off. Two changes made under the same
  // non-zero value are undone and redone together, so whatever lay between
  // them can never be brought back on its own.
  quint64 openStepSerial() const;

  QVariant valueForKey(const QString& key) const override;

 private:
  struct Group;
  using GroupPtr = std::shared_ptr<Group>;

  void post(const QString& name);
  QList<GroupPtr>& activeGroups();
  const QList<GroupPtr>& activeGroups() const;
  void openAutomaticGroup();
  GroupPtr newGroup();
  void scheduleAutomaticClose();
  void trim(QList<GroupPtr>& stack);
  // Checks undo()/redo() may run and closes a single open group first.
  bool closeSingleGroupBeforeReplay(const char* caller);
  // Pops the top group of `stack` and replays it with `flag` raised,
  // posting the will/did notifications around it.
  void replayTop(QList<GroupPtr>& stack, bool& flag, const QString& willName,
                 const QString& didName);
  // Runs `group` backwards, collecting the inverse onto the other stack.
  void replay(const GroupPtr& group, bool undoing);
  bool openGroupHasActions() const;
  void publishState();
  Group* namedGroup() const;

  QList<GroupPtr> undoStack_;
  QList<GroupPtr> redoStack_;
  QList<GroupPtr> openGroups_;  // innermost last
  // While replaying, registrations collect here instead of openGroups_.
  QList<GroupPtr>* collecting_ = nullptr;
  bool groupsByEvent_ = true;
  bool automaticGroupOpen_ = false;
  quint64 automaticGeneration_ = 0;
  quint64 groupSerial_ = 0;
  int levelsOfUndo_ = 0;
  int disableCount_ = 0;
  bool undoing_ = false;
  bool redoing_ = false;
  bool publishedCanUndo_ = false;
  bool publishedCanRedo_ = false;
  std::unique_ptr<QObject> loopHook_;  // receiver of the end-of-pass call
};

}  // namespace fnd
