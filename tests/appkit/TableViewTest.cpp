#include <gtest/gtest.h>

#include <QApplication>
#include <QDropEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMimeData>

#include "ListStore.h"
#include "appkit/ArrayController.h"
#include "appkit/DraggingInfo.h"
#include "appkit/TableView.h"
#include "appkit/core/Pasteboard.h"

namespace {

// Makes name cells by identifier and takes drops, turning drops on a row
// into drops above it.
class Feeder : public ui::TableViewDataSource, public ui::TableViewDelegate {
 public:
  explicit Feeder(ui::ArrayController* controller) : controller_(controller) {}
  QWidget* tableViewViewForTableColumn(ui::TableView* table, const QString&, int row) override {
    auto* cell = static_cast<QLabel*>(table->makeViewWithIdentifier("NameCell", nullptr));
    cell->setText(controller_->arrangedObjects()[row]->valueForKey("name").toString());
    return cell;
  }
  unsigned tableViewValidateDrop(ui::TableView* table, ui::DraggingInfo& info, int row,
                                 ui::TableViewDropOperation operation) override {
    validated.append({row, operation});
    if (operation == ui::TableViewDropOn) table->setDropRow(row, ui::TableViewDropAbove);
    return info.draggingPasteboard().types().contains("com.test.rows") ? ui::DragOperationMove
                                                                       : ui::DragOperationNone;
  }
  bool tableViewAcceptDrop(ui::TableView*, ui::DraggingInfo&, int row,
                           ui::TableViewDropOperation operation) override {
    accepted.append({row, operation});
    return true;
  }
  QList<std::pair<int, int>> validated, accepted;

 private:
  ui::ArrayController* controller_;
};

class Recorder : public ui::Responder {
 public:
  Recorder() {
    addAction("open:", [this](QObject*) { log.append("open:"); });
  }
  void keyDown(ui::Event&) override { log.append("keyDown"); }
  QStringList log;
};

struct BoundTable {
  BoundTable() : feeder(&controller) {
    controller.setContent({store.card("A"), store.card("B"), store.card("C")});
    table.registerCellView("NameCell", [](QObject*) { return new QLabel; });
    table.addTableColumn("name", "Name");
    table.setDelegate(&feeder);
    table.setDataSource(&feeder);
    table.bindContent(&controller);
    table.resize(160, 160);
    table.show();
  }
  QPoint inRow(int row, double fraction = 0.5) const {
    const QRect rect = table.rectOfRow(row);
    return QPoint(10, rect.top() + int(rect.height() * fraction));
  }
  apptest::ListStore store;
  ui::ArrayController controller;
  Feeder feeder;
  ui::TableView table;
};

QString cellText(const ui::TableView& table, int row) {
  auto* label = qobject_cast<QLabel*>(table.viewAtColumn(0, row));
  return label ? label->text() : QString();
}

}  // namespace

// Rows and cells follow the controller; the selections follow each other.
TEST(TableView, ShowsTheControllersRowsInCellsMadeByIdentifier) {
  BoundTable t;
  EXPECT_EQ(t.table.numberOfRows(), 3);
  EXPECT_EQ(cellText(t.table, 2), "C");
  t.controller.insertObject(t.store.card("X"), 1);
  EXPECT_EQ(t.table.numberOfRows(), 4);
  EXPECT_EQ(cellText(t.table, 1), "X");
  EXPECT_EQ(t.table.selectedRowIndexes(), fnd::IndexSet(1));
  t.table.selectRowIndexes(fnd::IndexSet::fromList({0, 3}));
  EXPECT_EQ(apptest::namesOf(t.controller.selectedObjects()), QStringList({"A", "C"}));
  EXPECT_EQ(t.table.selectedRow(), 3);
  for (int row = 0; row < 4; ++row) EXPECT_EQ(t.table.rowAtPoint(t.inRow(row)), row);
  EXPECT_EQ(t.table.rowAtPoint(QPointF(10, t.table.rectOfRow(3).bottom() + 30)), -1);
}

TEST(TableView, KeysItDoesNotUseGoUpTheResponderChain) {
  BoundTable t;
  Recorder next;
  t.table.setNextResponder(&next);
  t.controller.setSelectionIndex(0);
  QKeyEvent down(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier);
  QApplication::sendEvent(&t.table, &down);
  EXPECT_EQ(t.controller.selectionIndex(), 1);
  QKeyEvent letter(QEvent::KeyPress, Qt::Key_F12, Qt::NoModifier);
  QApplication::sendEvent(&t.table, &letter);
  EXPECT_EQ(next.log, QStringList({"keyDown"}));

  t.table.setTarget(&next);
  t.table.setDoubleAction("open:");
  const QPoint at = t.inRow(2);
  QMouseEvent click(QEvent::MouseButtonDblClick, at, t.table.viewport()->mapToGlobal(at),
                    Qt::LeftButton, Qt::LeftButton, {});
  QApplication::sendEvent(t.table.viewport(), &click);
  EXPECT_EQ(t.table.clickedRow(), 2);
  EXPECT_EQ(next.log, QStringList({"keyDown", "open:"}));

  QMenu menu;
  menu.addAction("Delete");
  t.table.setContextMenu(&menu);
  const QPoint second = t.inRow(1);
  QContextMenuEvent right(QContextMenuEvent::Mouse, second,
                          t.table.viewport()->mapToGlobal(second));
  QApplication::sendEvent(t.table.viewport(), &right);
  EXPECT_EQ(t.table.clickedRow(), 1);
  EXPECT_TRUE(menu.isVisible());
  menu.close();
}

// Drops land above a row near its edges or past the last row and on it in
// between; the data source may retarget them; the rows stay.
TEST(TableView, DropsAreProposedAboveOrOnARowAndDecidedByTheDataSource) {
  BoundTable t;
  struct Case {
    int row;
    double fraction;
    int dropRow;
    ui::TableViewDropOperation operation;
  };
  const Case table[] = {
      {0, 0.1, 0, ui::TableViewDropAbove}, {0, 0.5, 0, ui::TableViewDropOn},
      {1, 0.9, 2, ui::TableViewDropAbove}, {2, 0.5, 2, ui::TableViewDropOn},
      {2, 3.0, 3, ui::TableViewDropAbove},
  };
  for (const Case& row : table) {
    const auto [dropRow, operation] = t.table.proposedDrop(t.inRow(row.row, row.fraction));
    EXPECT_EQ(dropRow, row.dropRow) << row.row << " " << row.fraction;
    EXPECT_EQ(operation, row.operation) << row.row << " " << row.fraction;
  }

  t.table.registerForDraggedTypes({"com.test.rows"});
  ui::Pasteboard pasteboard;
  pasteboard.setPropertyList(QVariantList{0}, "com.test.rows");
  std::unique_ptr<QMimeData> data(pasteboard.dragMimeData());
  QDropEvent drop(t.inRow(1), Qt::CopyAction | Qt::MoveAction, data.get(), Qt::LeftButton, {});
  // Qt delivers a drop only to the widget that accepted the drag's entry.
  QDragEnterEvent enter(t.inRow(1), Qt::CopyAction | Qt::MoveAction, data.get(), Qt::LeftButton,
                        {});
  QApplication::sendEvent(t.table.viewport(), &enter);
  EXPECT_TRUE(enter.isAccepted());
  QApplication::sendEvent(t.table.viewport(), &drop);
  EXPECT_TRUE(drop.isAccepted());
  EXPECT_EQ(drop.dropAction(), Qt::CopyAction);  // Qt's views would remove moved rows
  EXPECT_EQ(t.feeder.validated.last(), std::make_pair(1, int(ui::TableViewDropOn)));
  EXPECT_EQ(t.feeder.accepted, (QList<std::pair<int, int>>{{1, ui::TableViewDropAbove}}));
  EXPECT_EQ(t.table.numberOfRows(), 3);

  ui::Pasteboard other;
  other.setString("text", "public.utf8-plain-text");
  std::unique_ptr<QMimeData> otherData(other.dragMimeData());
  QDragEnterEvent refused(t.inRow(1), Qt::CopyAction, otherData.get(), Qt::LeftButton, {});
  QApplication::sendEvent(t.table.viewport(), &refused);
  EXPECT_FALSE(refused.isAccepted());
  EXPECT_EQ(t.feeder.accepted.size(), 1);
}
