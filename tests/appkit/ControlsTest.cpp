#include <gtest/gtest.h>

#include <QBuffer>
#include <QLabel>
#include <QToolButton>

#include "TestSupport.h"
#include "appkit/AnimationContext.h"
#include "appkit/Application.h"
#include "appkit/Popover.h"
#include "appkit/Responder.h"
#include "appkit/SegmentedControl.h"
#include "appkit/Toolbar.h"
#include "appkit/UserInterfaceItem.h"

namespace {

// Handles the actions it was given, refusing those listed as disabled.
class ActionTarget : public ui::Responder {
 public:
  explicit ActionTarget(const QStringList& actions) {
    for (const QString& action : actions)
      addAction(action, [this, action](QObject*) { sent.append(action); });
  }
  bool validateUserInterfaceItem(const ui::UserInterfaceItem& item) override {
    return !disabled.contains(item.action());
  }
  QStringList sent, disabled;
};

class ItemMaker : public ui::ToolbarDelegate {
 public:
  std::unique_ptr<ui::ToolbarItem> toolbarItemForItemIdentifier(ui::Toolbar*, const QString& id,
                                                                bool) override {
    if (id == "Nothing") return nullptr;
    auto item = std::make_unique<ui::ToolbarItem>(id);
    item->setLabel(id);
    item->setAction(id.toLower() + ":");
    item->setTarget(target);
    item->setVisibilityPriority(priorities.value(id, ui::ToolbarItemVisibilityPriorityStandard));
    return item;
  }
  QStringList toolbarDefaultItemIdentifiers(ui::Toolbar*) override {
    return {"Open", "Save", "Zoom", "Share", "Nothing", "Info"};
  }
  ui::Responder* target = nullptr;
  QHash<QString, int> priorities;
};

void saveGrab(QWidget& widget, const QString& name) {
  QByteArray png;
  QBuffer buffer(&png);
  buffer.open(QIODevice::WriteOnly);
  widget.grab().save(&buffer, "PNG");
  tst::saveArtifactData(png, name);
}

QStringList identifiersOf(const QList<ui::ToolbarItem*>& items) {
  QStringList identifiers;
  for (ui::ToolbarItem* item : items) identifiers.append(item->itemIdentifier());
  return identifiers;
}

}  // namespace

TEST(SegmentedControl, EachTrackingModeKeepsItsSelection) {
  struct Case {
    ui::SegmentSwitchTracking mode;
    QList<int> clicks;
    QList<bool> selected;  // per segment, after the clicks
    int selectedSegment;
  };
  const Case table[] = {
      {ui::SegmentSwitchTrackingSelectOne, {0, 2}, {false, false, true}, 2},
      {ui::SegmentSwitchTrackingSelectOne, {1, 1}, {false, true, false}, 1},
      {ui::SegmentSwitchTrackingSelectAny, {0, 2}, {true, false, true}, 2},
      {ui::SegmentSwitchTrackingSelectAny, {0, 2, 2}, {true, false, false}, 0},
      {ui::SegmentSwitchTrackingMomentary, {1}, {false, false, false}, 1},
  };
  for (const Case& row : table) {
    ActionTarget target({"segment:"});
    ui::SegmentedControl control;
    control.setSegmentCount(3);
    control.setTrackingMode(row.mode);
    control.setTarget(&target);
    control.setAction("segment:");
    for (int segment : row.clicks) control.performClick(segment);
    for (int segment = 0; segment < 3; ++segment)
      EXPECT_EQ(control.isSelectedForSegment(segment), row.selected[segment])
          << int(row.mode) << " segment " << segment;
    EXPECT_EQ(control.selectedSegment(), row.selectedSegment) << int(row.mode);
    EXPECT_EQ(target.sent.size(), row.clicks.size());
    if (row.mode == ui::SegmentSwitchTrackingSelectAny) {
      control.setLabel("Layers", 0);
      control.setLabel("Filters", 1);
      control.setLabel("Parameters", 2);
      saveGrab(control, "segmented-control-select-any.png");
    }
  }
}

// Items come from the delegate by identifier, go where they are inserted,
// give way by priority when room is short, and are enabled as their
// target validates them.
TEST(Toolbar, ItemsByIdentifierPriorityAndValidation) {
  ui::Application* app = ui::Application::sharedApplication();
  ActionTarget target({"open:", "save:", "zoom:", "share:", "info:"});
  target.disabled = {"save:"};
  ItemMaker maker;
  maker.target = &target;
  maker.priorities = {{"Share", ui::ToolbarItemVisibilityPriorityUser},
                      {"Zoom", ui::ToolbarItemVisibilityPriorityLow}};
  ui::Toolbar toolbar("MainToolbar");
  toolbar.setDelegate(&maker);
  EXPECT_EQ(identifiersOf(toolbar.items()), QStringList({"Open", "Save", "Zoom", "Share", "Info"}));
  toolbar.removeItemAtIndex(3);
  ui::ToolbarItem* share = toolbar.insertItemWithItemIdentifier("Share", 4);
  ASSERT_NE(share, nullptr);
  EXPECT_EQ(share->label(), "Share");
  EXPECT_EQ(share->visibilityPriority(), 2000);
  EXPECT_EQ(identifiersOf(toolbar.items()), QStringList({"Open", "Save", "Zoom", "Info", "Share"}));
  EXPECT_EQ(toolbar.insertItemWithItemIdentifier("Nothing", 0), nullptr);

  toolbar.show();
  app->updateWindows();
  saveGrab(toolbar, "toolbar-save-disabled.png");
  EXPECT_FALSE(toolbar.items()[1]->isEnabled());
  EXPECT_TRUE(toolbar.items()[0]->isEnabled());
  toolbar.items()[0]->qAction()->trigger();
  EXPECT_EQ(target.sent, QStringList({"open:"}));

  // Short of room: the low-priority item goes first, the user's item last.
  int buttons = 0;
  for (ui::ToolbarItem* item : toolbar.items())
    buttons += toolbar.widgetForAction(item->qAction())->sizeHint().width();
  const int oneButton = toolbar.widgetForAction(share->qAction())->sizeHint().width();
  toolbar.resize(buttons - oneButton / 2, 60);
  EXPECT_EQ(identifiersOf(toolbar.hiddenItems()), QStringList({"Zoom"}));
  toolbar.resize(oneButton + 4, 60);
  EXPECT_EQ(identifiersOf(toolbar.hiddenItems()), QStringList({"Open", "Save", "Zoom", "Info"}));
}

TEST(Popover, OpensOnTheAskedEdgeAndTellsItsDelegateWhenItCloses) {
  struct Case {
    ui::RectEdge edge;
    QPoint origin;  // beside the rectangle (100, 50, 40 × 20) for a 30 × 10 popover
  };
  for (const Case& row : {Case{ui::MinXEdge, {70, 55}}, Case{ui::MaxXEdge, {140, 55}},
                          Case{ui::MinYEdge, {105, 40}}, Case{ui::MaxYEdge, {105, 70}}})
    EXPECT_EQ(ui::Popover::originBeside(QRect(100, 50, 40, 20), QSize(30, 10), row.edge),
              row.origin)
        << row.edge;

  struct Closing : ui::PopoverDelegate {
    void popoverWillClose(ui::Popover*) override { ++closed; }
    int closed = 0;
  } delegate;
  QWidget anchor;
  anchor.resize(200, 100);
  anchor.show();
  ui::Popover popover(new QLabel("Details"));
  popover.setDelegate(&delegate);
  popover.showRelativeToRect(QRect(10, 10, 50, 20), &anchor, ui::MaxXEdge);
  EXPECT_TRUE(popover.isShown());
  saveGrab(popover, "popover-details.png");
  // Beside the rectangle's right edge, give or take the window frame.
  EXPECT_NEAR(popover.pos().x(), anchor.mapToGlobal(QPoint(60, 0)).x(), 4);
  popover.performClose(nullptr);
  EXPECT_FALSE(popover.isShown());
  EXPECT_EQ(delegate.closed, 1);
}

TEST(AnimationContext, GroupsLandAtOnceWhenAnimationsAreOff) {
  EXPECT_FALSE(ui::AnimationContext::animationsEnabled());  // offscreen tests
  QWidget a, b;
  bool completed = false;
  ui::AnimationContext::runAnimationGroup(
      [&](ui::AnimationContext& context) {
        context.setDuration(0.3);
        context.animate(&a, "pos", QPoint(40, 30));
        context.animate(&b, "size", QSize(120, 80));
      },
      [&] { completed = true; });
  EXPECT_TRUE(completed);
  EXPECT_EQ(a.pos(), QPoint(40, 30));
  EXPECT_EQ(b.size(), QSize(120, 80));

  ui::AnimationContext::setAnimationsEnabled(true);
  completed = false;
  ui::AnimationContext::runAnimationGroup(
      [&](ui::AnimationContext& context) {
        context.setDuration(0.05);
        context.animate(&a, "pos", QPoint(0, 0));
      },
      [&] { completed = true; });
  EXPECT_FALSE(completed);
  EXPECT_TRUE(tst::spinUntil([&] { return completed; }));
  EXPECT_EQ(a.pos(), QPoint(0, 0));
  ui::AnimationContext::setAnimationsEnabled(false);
}
