// The list panel base on a composed image's layers: reordering by dragging
// rows (one undo step), the drag item, drop rules, keys, contextual-menu
// objects, detail popovers and the selection's announcements.
#include <gtest/gtest.h>

#include <QApplication>
#include <QBuffer>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMimeData>
#include <QMouseEvent>

#include "ListPanelDocument.h"
#include "TestSupport.h"
#include "appkit/DraggingInfo.h"
#include "appkit/Popover.h"
#include "appkit/PopoverNib.h"
#include "appkit/core/Beep.h"
#include "appkit/core/Pasteboard.h"
#include "foundation/UndoManager.h"
#include "window/IMGenericArrayController.h"
#include "window/IMTableView.h"

namespace {

// A list whose rows put their names on drags and show a detail popover.
class NamesController : public IMGenericArrayController {
 public:
  QString rowCopiedDataKeyPath() const override { return "name"; }
  bool canCopyContent() const override { return copies; }
  QString detailPopoverNibName() const override { return "TestDetailPopover"; }
  ui::RectEdge detailPopoverPreferedEdge() const override { return ui::MinXEdge; }
  bool receiveDropWithInfo(ui::DraggingInfo&, int index) override {
    receivedAt.append(index);
    return true;
  }
  bool copies = true;
  QList<int> receivedAt;
};

// A document of five layers shown in a list, as the window sets it up.
struct Panel {
  explicit Panel(const QStringList& names = {"A", "B", "C", "D", "E"}) : document(names) {
    table.addTableColumn("name", "Layer");
    table.resize(200, 200);
    controller.setTableView(&table);
    controller.setWindowController(&window);
    controller.setContentRelationship(document.composedImage, "layers");
    controller.awakeFromNib();
    table.show();
  }
  ~Panel() { controller.setContentRelationship(nullptr, {}); }

  // Drags `rows` and drops them from `source` at `row`.
  bool dragAndDrop(const QList<int>& rows, int row, QObject* source,
                   ui::TableViewDropOperation operation = ui::TableViewDropAbove) {
    ui::Pasteboard& drag = ui::Pasteboard::dragPasteboard();
    if (!controller.tableViewWriteRowsWithIndexes(&table, fnd::IndexSet::fromList(rows), drag))
      return false;
    std::unique_ptr<QMimeData> data(drag.dragMimeData());
    std::unique_ptr<ui::Pasteboard> dropped = ui::Pasteboard::pasteboardWithMimeData(data.get());
    ui::DraggingInfo info(*dropped, {}, ui::DragOperationCopy, source);
    if (controller.tableViewValidateDrop(&table, info, row, operation) == ui::DragOperationNone)
      return false;
    return controller.tableViewAcceptDrop(&table, info, row, operation);
  }

  void key(int qtKey, Qt::KeyboardModifiers modifiers = {}, const QString& text = {}) {
    QKeyEvent press(QEvent::KeyPress, qtKey, modifiers, text);
    QApplication::sendEvent(&table, &press);
  }

  QStringList selectedNames() const { return namesOf(controller.selectedObjects()); }

  ListPanelDocument document;
  RecordingWindow window;
  IMTableView table;
  NamesController controller;
};

}  // namespace

TEST(IMGenericArrayController, DraggingRowsToANewPlaceIsOneUndoStep) {
  struct Case {
    QList<int> rows;
    int dropRow;
    QStringList order, selected;
  };
  const Case table[] = {
      {{1, 3}, 0, {"B", "D", "A", "C", "E"}, {"B", "D"}},
      {{0, 1}, 4, {"C", "D", "A", "B", "E"}, {"A", "B"}},
      {{1, 3}, 2, {"A", "B", "D", "C", "E"}, {"B", "D"}},
      {{0, 3}, 2, {"B", "A", "D", "C", "E"}, {"A", "D"}},
      {{4}, 5, {"A", "B", "C", "D", "E"}, {"E"}},
  };
  for (const Case& row : table) {
    Panel panel;
    fnd::UndoManager* undo = panel.document.context->undoManager();
    ASSERT_TRUE(panel.dragAndDrop(row.rows, row.dropRow, &panel.table)) << row.dropRow;
    EXPECT_EQ(panel.document.layerNames(), row.order) << row.dropRow;
    EXPECT_EQ(namesOf(panel.controller.arrangedObjects()), row.order);
    EXPECT_EQ(panel.selectedNames(), row.selected) << row.dropRow;
    EXPECT_EQ(panel.table.selectedRowIndexes(), panel.controller.selectionIndexes());

    if (row.order == QStringList({"A", "B", "C", "D", "E"})) {
      EXPECT_FALSE(undo->canUndo()) << "a move to where the row is changes nothing";
      continue;
    }
    ASSERT_TRUE(undo->canUndo()) << row.dropRow;
    undo->undo();
    EXPECT_EQ(panel.document.layerNames(), QStringList({"A", "B", "C", "D", "E"})) << row.dropRow;
    EXPECT_EQ(namesOf(panel.controller.arrangedObjects()), panel.document.layerNames());
    EXPECT_FALSE(undo->canUndo()) << "one group for the whole move";
  }
  Panel panel;
  panel.controller.setSelectionIndexes(fnd::IndexSet::fromList({1, 3}));
  const QImage grab = panel.table.grab().toImage();
  QByteArray png;
  QBuffer buffer(&png);
  buffer.open(QIODevice::WriteOnly);
  grab.save(&buffer, "PNG");
  tst::saveArtifactData(png, "list-panel-two-rows-selected.png");
}

// The rows' own values come first, one item each, and the item naming the
// rows last, so readers of the private types take the last item.
TEST(IMGenericArrayController, RowDragsWriteValuesThenTheRowsItem) {
  for (bool copies : {true, false}) {
    Panel panel;
    panel.controller.copies = copies;
    ui::Pasteboard pasteboard;
    ASSERT_TRUE(panel.controller.tableViewWriteRowsWithIndexes(
        &panel.table, fnd::IndexSet::fromList({4, 0, 2}), pasteboard));
    const QList<ui::PasteboardItem> items = pasteboard.pasteboardItems();
    ASSERT_EQ(items.size(), copies ? 4 : 1);
    if (copies) {
      EXPECT_EQ(items[0].stringForType("public.utf8-plain-text"), "A");
      EXPECT_EQ(items[1].stringForType("public.utf8-plain-text"), "C");
      EXPECT_EQ(items[2].stringForType("public.utf8-plain-text"), "E");
    }
    const QVariantList rows{0, 2, 4};
    EXPECT_EQ(items.last().propertyListForType(kObjectMoveType).toList(), rows);
    EXPECT_EQ(items.last().propertyListForType(kObjectCopyType).toList(), rows);
    EXPECT_EQ(items.last().types(), QStringList({kObjectMoveType, kObjectCopyType}));
  }
}

TEST(IMGenericArrayController, DropsMoveOnlyTheListsOwnRowsBetweenRows) {
  Panel panel;
  EXPECT_EQ(panel.table.registeredDraggedTypes(), QStringList({kObjectMoveType}));
  IMTableView otherTable;
  ui::Pasteboard pasteboard;
  panel.controller.tableViewWriteRowsWithIndexes(&panel.table, fnd::IndexSet(1), pasteboard);
  struct Case {
    QObject* source;
    ui::TableViewDropOperation operation;
    unsigned validated;
  };
  const Case table[] = {
      {&panel.table, ui::TableViewDropAbove, ui::DragOperationMove},
      {&panel.table, ui::TableViewDropOn, ui::DragOperationNone},
      {&otherTable, ui::TableViewDropAbove, ui::DragOperationNone},
      {nullptr, ui::TableViewDropAbove, ui::DragOperationNone},
  };
  for (const Case& row : table) {
    ui::DraggingInfo info(pasteboard, {}, ui::DragOperationCopy, row.source);
    EXPECT_EQ(panel.controller.tableViewValidateDrop(&panel.table, info, 2, row.operation),
              row.validated);
  }
  // Another list's rows go to the subclass, a negative row counting as 0.
  ui::DraggingInfo foreign(pasteboard, {}, ui::DragOperationCopy, &otherTable);
  EXPECT_TRUE(
      panel.controller.tableViewAcceptDrop(&panel.table, foreign, -1, ui::TableViewDropAbove));
  EXPECT_EQ(panel.controller.receivedAt, QList<int>({0}));
  EXPECT_EQ(panel.document.layerNames(), QStringList({"A", "B", "C", "D", "E"}));

  // Rows named by another program's bytes may be anything: whatever they
  // are, the list keeps the same layers.
  const QVariantList hostile[] = {
      {-3, 99, qlonglong(1) << 40, "x", 1}, {}, {4, 4, 4}, {QVariantMap{{"a", 1}}, 2.5}};
  for (const QVariantList& rows : hostile) {
    ui::Pasteboard forged;
    ui::PasteboardItem item;
    item.setPropertyListForType(rows, kObjectMoveType);
    forged.writeObjects({item});
    ui::DraggingInfo info(forged, {}, ui::DragOperationCopy, &panel.table);
    panel.controller.tableViewAcceptDrop(&panel.table, info, 3, ui::TableViewDropAbove);
    QStringList names = panel.document.layerNames();
    names.sort();
    EXPECT_EQ(names, QStringList({"A", "B", "C", "D", "E"}));
  }

  // A list of one row accepts its own row and changes nothing.
  Panel single({"A"});
  ui::Pasteboard one;
  single.controller.tableViewWriteRowsWithIndexes(&single.table, fnd::IndexSet(0), one);
  ui::DraggingInfo own(one, {}, ui::DragOperationCopy, &single.table);
  EXPECT_TRUE(single.controller.tableViewAcceptDrop(&single.table, own, 1, ui::TableViewDropAbove));
  EXPECT_EQ(single.document.layerNames(), QStringList({"A"}));
  EXPECT_FALSE(single.document.context->undoManager()->canUndo());
}

// Delete removes the selected rows (and deletes them from the document)
// only without modifiers and without a canvas selection; every other key,
// arrows included, goes to the canvas.
TEST(IMGenericArrayController, DeleteRemovesRowsOtherKeysGoToTheCanvas) {
  struct Case {
    const char* what;
    int key;
    Qt::KeyboardModifiers modifiers;
    QString text;
    bool canvasSelection;
    QList<int> selected;
    QStringList layers, canvasLog;
    int beeps;
  };
  const QStringList all{"A", "B", "C", "D", "E"};
  const Case table[] = {
      {"Backspace", Qt::Key_Backspace, {}, "\b", false, {1, 2}, {"A", "D", "E"}, {}, 0},
      {"Delete", Qt::Key_Delete, {}, "\x7f", false, {4}, {"A", "B", "C", "D"}, {}, 0},
      {"Delete with no row", Qt::Key_Backspace, {}, "\b", false, {}, all, {}, 1},
      {"Command-Delete",
       Qt::Key_Backspace,
       Qt::ControlModifier,
       "",
       false,
       {1},
       all,
       {"keyDown \x7f"},
       0},
      {"Shift-Delete",
       Qt::Key_Backspace,
       Qt::ShiftModifier,
       "",
       false,
       {1},
       all,
       {"keyDown \x7f"},
       0},
      {"Delete with a canvas selection",
       Qt::Key_Backspace,
       {},
       "\b",
       true,
       {1},
       all,
       {"keyDown \x7f"},
       0},
      {"a letter", Qt::Key_V, {}, "v", false, {1}, all, {"keyDown v"}, 0},
      {"arrow down",
       Qt::Key_Down,
       {},
       "",
       false,
       {1},
       all,
       {QString("keyDown ") + QChar(0xF701)},
       0},
  };
  for (const Case& row : table) {
    Panel panel;
    panel.controller.setAvoidsEmptySelection(false);
    int beeps = 0;
    ui::setBeepHandler([&] { ++beeps; });
    panel.window.hasSelection = row.canvasSelection;
    panel.controller.setSelectionIndexes(fnd::IndexSet::fromList(row.selected));
    const cd::ObjectList selected = panel.controller.selectedObjects();
    panel.key(row.key, row.modifiers, row.text);
    ui::setBeepHandler(nullptr);
    EXPECT_EQ(panel.document.layerNames(), row.layers) << row.what;
    EXPECT_EQ(panel.window.canvas.log, row.canvasLog) << row.what;
    EXPECT_EQ(beeps, row.beeps) << row.what;
    const bool removed = row.layers.size() < all.size();
    for (cd::ManagedObject* object : selected)
      EXPECT_EQ(panel.document.context->deletedObjects().contains(object), removed) << row.what;
    if (!removed) {
      EXPECT_EQ(panel.controller.selectionIndexes().toList(), row.selected) << row.what;
    }
  }
  Panel panel;
  panel.key(Qt::Key_Shift, Qt::ShiftModifier);
  EXPECT_EQ(panel.window.canvas.log, QStringList({"flagsChanged"}));
}

// A command of the contextual menu applies to the clicked row, or to the
// whole selection when the clicked row is part of it.
TEST(IMGenericArrayController, ContextualMenuCommandsApplyToTheClickedRowOrTheSelection) {
  struct Case {
    int clickedRow;  // −1: below the rows
    QStringList objects, layersAfterRemove;
  };
  const Case table[] = {
      {3, {"D"}, {"A", "B", "C", "E"}},
      {2, {"B", "C"}, {"A", "D", "E"}},
      {-1, {}, {"A", "B", "C", "D", "E"}},
  };
  for (const Case& row : table) {
    Panel panel;
    panel.controller.setSelectionIndexes(fnd::IndexSet::fromList({1, 2}));
    const QRect rect = panel.table.rectOfRow(row.clickedRow < 0 ? 4 : row.clickedRow);
    const QPoint at(10, row.clickedRow < 0 ? rect.bottom() + 20 : rect.center().y());
    QContextMenuEvent click(QContextMenuEvent::Mouse, at, panel.table.viewport()->mapToGlobal(at));
    QApplication::sendEvent(panel.table.viewport(), &click);
    EXPECT_EQ(panel.table.clickedRow(), row.clickedRow);
    EXPECT_EQ(namesOf(panel.controller.contextualMenuObjects()), row.objects);
    EXPECT_TRUE(panel.controller.tryToPerform("removeFromContextualMenuItem:", nullptr));
    EXPECT_EQ(panel.document.layerNames(), row.layersAfterRemove) << row.clickedRow;
  }
}

// Double-clicking a row opens its popover, the same row again closes it,
// another row moves it there.
TEST(IMGenericArrayController, DetailPopoversToggleOnTheSameRow) {
  ui::PopoverNib::registerNib("TestDetailPopover", [](void* owner) {
    auto* controller = static_cast<IMGenericArrayController*>(owner);
    return new ui::Popover(new QLabel(namesOf({controller->objectForPopover()}).join("")));
  });
  Panel panel;
  panel.table.move(400, 100);  // room on the left for the popover
  auto doubleClickRow = [&](int row) {
    panel.controller.setSelectionIndex(row);
    const QPoint at(10, panel.table.rectOfRow(row).center().y());
    QMouseEvent click(QEvent::MouseButtonDblClick, at, panel.table.viewport()->mapToGlobal(at),
                      Qt::LeftButton, Qt::LeftButton, {});
    QApplication::sendEvent(panel.table.viewport(), &click);
  };
  doubleClickRow(1);
  ASSERT_NE(panel.controller.currentPopover(), nullptr);
  EXPECT_TRUE(panel.controller.currentPopover()->isShown());
  EXPECT_EQ(panel.controller.currentPopover()->shownEdge(), ui::MinXEdge);
  EXPECT_EQ(panel.controller.currentPopoverNibName(), "TestDetailPopover");
  EXPECT_EQ(namesOf({panel.controller.objectForPopover()}), QStringList({"B"}));
  QPointer<ui::Popover> first = panel.controller.currentPopover();

  doubleClickRow(1);
  EXPECT_EQ(panel.controller.currentPopover(), nullptr);
  EXPECT_EQ(panel.controller.objectForPopover(), nullptr);
  EXPECT_TRUE(!first || !first->isShown());

  doubleClickRow(1);
  doubleClickRow(3);
  ASSERT_NE(panel.controller.currentPopover(), nullptr);
  EXPECT_EQ(namesOf({panel.controller.objectForPopover()}), QStringList({"D"}));
  EXPECT_EQ(panel.controller.currentPopover()->positioningRect(), panel.table.rectOfRow(3));
  panel.controller.currentPopover()->performClose(nullptr);
  EXPECT_EQ(panel.controller.currentPopover(), nullptr);
  EXPECT_EQ(panel.controller.currentPopoverNibName(), "");
}

// Each selection change resets the canvas's cursor rectangles and is
// heard once by observers of theSelection; theSelection can also be set.
TEST(IMGenericArrayController, SelectionChangesReachTheCanvasAndTheSelectionObservers) {
  Panel panel;
  EXPECT_GE(panel.window.toolUpdates, 1);
  int heard = 0;
  panel.controller.addObserver(
      "theSelection", 0,
      [&](fnd::Observable*, const QString&, const fnd::KeyValueChange&) { ++heard; });
  const int resets = panel.window.cursorResets;
  panel.controller.setSelectionIndexes(fnd::IndexSet::fromList({2, 3}));
  EXPECT_EQ(heard, 1);
  EXPECT_EQ(panel.window.cursorResets, resets + 1);
  EXPECT_EQ(namesOf({panel.controller.theSelection()}), QStringList({"C"}));

  panel.controller.setTheSelection(panel.controller.arrangedObjects()[4]);
  EXPECT_EQ(panel.selectedNames(), QStringList({"E"}));
  EXPECT_EQ(panel.table.selectedRow(), 4);

  // The user's click in the table selects through the controller.
  const QPoint at(10, panel.table.rectOfRow(0).center().y());
  QMouseEvent press(QEvent::MouseButtonPress, at, panel.table.viewport()->mapToGlobal(at),
                    Qt::LeftButton, Qt::LeftButton, {});
  QApplication::sendEvent(panel.table.viewport(), &press);
  EXPECT_EQ(panel.selectedNames(), QStringList({"A"}));
  EXPECT_EQ(panel.table.clickedRow(), 0);
  EXPECT_EQ(panel.table.rowAtPoint(at), 0);
}
