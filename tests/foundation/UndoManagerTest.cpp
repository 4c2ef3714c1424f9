#include <gtest/gtest.h>

#include "TestSupport.h"
#include "foundation/NotificationCenter.h"
#include "foundation/UndoManager.h"

using fnd::UndoManager;

namespace {

// A value that registers its own inverse, the way model setters do.
struct Value {
  UndoManager* undo;
  int value = 0;
  QStringList* journal = nullptr;

  void set(int next) {
    int previous = value;
    undo->registerUndoWithTarget(this, [this, previous] { set(previous); });
    if (journal) journal->append(QString("%1->%2").arg(value).arg(next));
    value = next;
  }
};

// Names of the undo notifications the manager posts, in order.
class NotificationLog {
 public:
  explicit NotificationLog(UndoManager* manager) {
    token_ = fnd::NotificationCenter::defaultCenter().addObserverForName(
        "", manager, nullptr, [this](const fnd::Notification& n) {
          names << QString(n.name).remove("NSUndoManager").remove("Notification");
        });
  }
  ~NotificationLog() { fnd::NotificationCenter::defaultCenter().removeObserver(token_); }
  QStringList names;

 private:
  fnd::NotificationCenter::ObserverToken token_;
};

}  // namespace

TEST(UndoManager, UndoAndRedoSwapGroupsBetweenStacks) {
  UndoManager undo;
  undo.setGroupsByEvent(false);
  Value v{&undo};
  for (int next : {1, 2, 3}) {
    undo.beginUndoGrouping();
    v.set(next);
    undo.endUndoGrouping();
  }
  EXPECT_TRUE(undo.canUndo());
  EXPECT_FALSE(undo.canRedo());
  undo.undo();
  EXPECT_EQ(v.value, 2);
  undo.undo();
  EXPECT_EQ(v.value, 1);
  EXPECT_TRUE(undo.canRedo());
  undo.redo();
  EXPECT_EQ(v.value, 2);
  undo.undo();
  undo.undo();
  EXPECT_EQ(v.value, 0);
  EXPECT_FALSE(undo.canUndo());
  undo.redo();
  undo.redo();
  undo.redo();
  EXPECT_EQ(v.value, 3);
  EXPECT_FALSE(undo.canRedo());

  // A fresh change after an undo forgets what could have been redone.
  undo.undo();
  undo.beginUndoGrouping();
  v.set(10);
  undo.endUndoGrouping();
  EXPECT_FALSE(undo.canRedo());
  undo.undo();
  EXPECT_EQ(v.value, 2);
}

TEST(UndoManager, NestedGroupsUndoAsOneInReverseOrder) {
  UndoManager undo;
  undo.setGroupsByEvent(false);
  QStringList journal;
  Value v{&undo, 0, &journal};
  undo.beginUndoGrouping();
  v.set(1);
  undo.beginUndoGrouping();
  EXPECT_EQ(undo.groupingLevel(), 2);
  v.set(2);
  v.set(3);
  undo.endUndoGrouping();
  v.set(4);
  undo.beginUndoGrouping();  // empty: discarded
  undo.endUndoGrouping();
  undo.endUndoGrouping();
  EXPECT_EQ(undo.groupingLevel(), 0);

  journal.clear();
  undo.undo();
  EXPECT_EQ(v.value, 0);
  EXPECT_EQ(journal, QStringList({"4->3", "3->2", "2->1", "1->0"}));
  EXPECT_FALSE(undo.canUndo());
  journal.clear();
  undo.redo();
  EXPECT_EQ(v.value, 4);
  EXPECT_EQ(journal, QStringList({"0->1", "1->2", "2->3", "3->4"}));

  undo.beginUndoGrouping();
  undo.endUndoGrouping();
  undo.undo();
  EXPECT_EQ(v.value, 0) << "an empty group must not hide the one before it";
}

TEST(UndoManager, AutomaticGroupClosesAtTheEndOfTheLoopPass) {
  UndoManager undo;
  Value v{&undo};
  v.set(1);
  v.set(2);
  EXPECT_EQ(undo.groupingLevel(), 1);
  ASSERT_TRUE(tst::spinUntil([&] { return undo.groupingLevel() == 0; }));
  v.set(3);
  ASSERT_TRUE(tst::spinUntil([&] { return undo.groupingLevel() == 0; }));
  undo.undo();
  EXPECT_EQ(v.value, 2);
  undo.undo();
  EXPECT_EQ(v.value, 0) << "both changes of one pass form one group";

  // Undo closes the automatic group still open in this pass.
  v.set(7);
  EXPECT_EQ(undo.groupingLevel(), 1);
  undo.undo();
  EXPECT_EQ(v.value, 0);
  EXPECT_EQ(undo.groupingLevel(), 0);
  tst::spinOnce();
  EXPECT_TRUE(undo.canRedo());
}

// Explicit groups nest in the automatic group of their pass; one opened
// with nothing else open stays a group of its own across passes (a tool from
// mouse-down to mouse-up); the did-close notification tells which closings
// left a step.
TEST(UndoManager, ExplicitGroupsNestWithTheAutomaticGroup) {
  UndoManager undo;
  Value v{&undo};
  QList<bool> steps;
  auto token = fnd::NotificationCenter::defaultCenter().addObserverForName(
      fnd::UndoManagerDidCloseUndoGroupNotification, &undo, nullptr,
      [&](const fnd::Notification& n) {
        steps.append(n.userInfo.value(fnd::UndoManagerGroupBecameUndoStepKey).toBool());
      });
  undo.openAutomaticGroupIfNeeded();
  undo.openAutomaticGroupIfNeeded();
  EXPECT_EQ(undo.groupingLevel(), 1) << "opened once";
  v.set(1);
  undo.beginUndoGrouping();
  v.set(2);
  undo.endUndoGrouping();
  EXPECT_EQ(undo.groupingLevel(), 1);
  tst::spinOnce();
  EXPECT_EQ(undo.groupingLevel(), 0);
  EXPECT_EQ(steps, (QList<bool>{false, true})) << "the nested close is no step";

  undo.beginUndoGrouping();  // mouse-down
  v.set(3);
  tst::spinOnce();
  EXPECT_EQ(undo.groupingLevel(), 1) << "a pass does not end an explicit group";
  undo.openAutomaticGroupIfNeeded();
  EXPECT_EQ(undo.groupingLevel(), 1);
  v.set(4);
  tst::spinOnce();
  undo.endUndoGrouping();  // mouse-up
  undo.beginUndoGrouping();
  undo.endUndoGrouping();
  EXPECT_EQ(steps, (QList<bool>{false, true, true, false}));
  undo.undo();
  EXPECT_EQ(v.value, 2) << "the drag is one step";
  undo.undo();
  EXPECT_EQ(v.value, 0) << "the pass with its nested group is one step";

  // No automatic group while grouping by event is off or registration is.
  undo.setGroupsByEvent(false);
  undo.openAutomaticGroupIfNeeded();
  EXPECT_EQ(undo.groupingLevel(), 0);
  undo.setGroupsByEvent(true);
  undo.disableUndoRegistration();
  undo.openAutomaticGroupIfNeeded();
  EXPECT_EQ(undo.groupingLevel(), 0);
  undo.enableUndoRegistration();
  fnd::NotificationCenter::defaultCenter().removeObserver(token);
}

TEST(UndoManager, LevelsOfUndoDropTheOldestGroups) {
  UndoManager undo;
  undo.setGroupsByEvent(false);
  Value v{&undo};
  undo.setLevelsOfUndo(3);
  for (int next = 1; next <= 5; ++next) {
    undo.beginUndoGrouping();
    v.set(next);
    undo.endUndoGrouping();
  }
  int undone = 0;
  while (undo.canUndo()) {
    undo.undo();
    ++undone;
  }
  EXPECT_EQ(undone, 3);
  EXPECT_EQ(v.value, 2);

  // Lowering the limit trims an existing stack at once.
  undo.setLevelsOfUndo(1);
  int redone = 0;
  while (undo.canRedo()) {
    undo.redo();
    ++redone;
  }
  EXPECT_EQ(redone, 1);
  EXPECT_EQ(v.value, 3);
}

TEST(UndoManager, RemoveAllActionsWithTargetKeepsOthers) {
  UndoManager undo;
  undo.setGroupsByEvent(false);
  Value a{&undo}, b{&undo};
  struct Step {
    Value* first;
    Value* second;
  };
  for (Step step : {Step{&a, &b}, Step{&a, nullptr}, Step{&b, nullptr}, Step{&a, nullptr}}) {
    undo.beginUndoGrouping();
    step.first->set(step.first->value + 1);
    if (step.second) step.second->set(step.second->value + 1);
    undo.endUndoGrouping();
  }
  EXPECT_EQ(a.value, 3);
  EXPECT_EQ(b.value, 2);
  undo.removeAllActionsWithTarget(&a);
  int groups = 0;
  while (undo.canUndo()) {
    undo.undo();
    ++groups;
  }
  EXPECT_EQ(groups, 2) << "groups holding only a's actions disappear";
  EXPECT_EQ(a.value, 3);
  EXPECT_EQ(b.value, 0);

  undo.removeAllActions();
  EXPECT_FALSE(undo.canUndo());
  EXPECT_FALSE(undo.canRedo());
}

TEST(UndoManager, DisablingNests) {
  UndoManager undo;
  undo.setGroupsByEvent(false);
  Value v{&undo};
  undo.disableUndoRegistration();
  undo.disableUndoRegistration();
  undo.enableUndoRegistration();
  EXPECT_FALSE(undo.isUndoRegistrationEnabled());
  undo.beginUndoGrouping();
  v.set(1);
  undo.endUndoGrouping();
  EXPECT_FALSE(undo.canUndo());
  undo.enableUndoRegistration();
  EXPECT_TRUE(undo.isUndoRegistrationEnabled());
  v.set(1);  // no group open and none opened for us: dropped
  EXPECT_FALSE(undo.canUndo());
  undo.beginUndoGrouping();
  v.set(2);
  undo.endUndoGrouping();
  undo.undo();
  EXPECT_EQ(v.value, 1);
}

TEST(UndoManager, RegistrationsDuringReplayGoToTheOtherStack) {
  UndoManager undo;
  undo.setGroupsByEvent(false);
  bool sawUndoing = false, sawRedoing = false;
  int value = 0;
  std::function<void(int)> set = [&](int next) {
    int previous = value;
    sawUndoing |= undo.isUndoing();
    sawRedoing |= undo.isRedoing();
    undo.registerUndoWithTarget(&value, [&, previous] { set(previous); });
    value = next;
  };
  undo.beginUndoGrouping();
  set(5);
  undo.setActionName("Brush");
  undo.endUndoGrouping();
  undo.undo();
  EXPECT_TRUE(sawUndoing);
  EXPECT_EQ(undo.redoActionName(), "Brush");
  undo.redo();
  EXPECT_TRUE(sawRedoing);
  EXPECT_EQ(undo.undoActionName(), "Brush");
  EXPECT_FALSE(undo.isUndoing());
  EXPECT_FALSE(undo.isRedoing());
  EXPECT_EQ(value, 5);
}

TEST(UndoManager, MenuTitlesFollowActionNames) {
  UndoManager undo;
  undo.setGroupsByEvent(false);
  Value v{&undo};
  EXPECT_EQ(undo.undoMenuItemTitle(), "Undo");
  EXPECT_EQ(undo.redoMenuItemTitle(), "Redo");
  struct Case {
    QString name;
    QString undoTitle;
  };
  for (const Case& c :
       {Case{"Paint", "Undo Paint"}, Case{"", "Undo"}, Case{"Move Layer", "Undo Move Layer"}}) {
    undo.beginUndoGrouping();
    v.set(v.value + 1);
    undo.setActionName(c.name);
    EXPECT_EQ(undo.undoActionName(), c.name) << "an open group is named before it closes";
    undo.endUndoGrouping();
    EXPECT_EQ(undo.undoMenuItemTitle(), c.undoTitle);
  }
  undo.undo();
  EXPECT_EQ(undo.redoMenuItemTitle(), "Redo Move Layer");
  EXPECT_EQ(undo.undoMenuItemTitle(), "Undo");
}

TEST(UndoManager, PostsNotificationsInOrder) {
  UndoManager undo;
  undo.setGroupsByEvent(false);
  Value v{&undo};
  NotificationLog log(&undo);
  undo.beginUndoGrouping();
  v.set(1);
  undo.endUndoGrouping();
  EXPECT_EQ(log.names, QStringList({"Checkpoint", "DidOpenUndoGroup", "Checkpoint",
                                    "WillCloseUndoGroup", "DidCloseUndoGroup"}));
  log.names.clear();
  undo.undo();
  EXPECT_EQ(log.names, QStringList({"Checkpoint", "WillUndoChange", "DidUndoChange"}));
  log.names.clear();
  undo.redo();
  EXPECT_EQ(log.names, QStringList({"Checkpoint", "WillRedoChange", "DidRedoChange"}));
  log.names.clear();
  undo.redo();  // nothing to redo: only the checkpoint
  EXPECT_EQ(log.names, QStringList({"Checkpoint"}));
}

TEST(UndoManager, CanUndoAndCanRedoAreObservable) {
  UndoManager undo;
  undo.setGroupsByEvent(false);
  Value v{&undo};
  QStringList seen;
  auto note = [&](fnd::Observable*, const QString& key, const fnd::KeyValueChange& change) {
    seen << QString("%1=%2").arg(key, change.newValue.toBool() ? "yes" : "no");
  };
  undo.addObserver("canUndo", fnd::ObservingNew, note);
  undo.addObserver("canRedo", fnd::ObservingNew, note);
  undo.beginUndoGrouping();
  v.set(1);
  undo.endUndoGrouping();
  EXPECT_EQ(seen, QStringList({"canUndo=yes"}));
  seen.clear();
  undo.undo();
  EXPECT_EQ(seen, QStringList({"canUndo=no", "canRedo=yes"}));
  seen.clear();
  undo.redo();
  EXPECT_EQ(seen, QStringList({"canUndo=yes", "canRedo=no"}));
}
