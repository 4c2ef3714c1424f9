// What a table asks of the object that feeds it and of the one that shapes
// it. The data source gives rows when the table is not bound to an array
// controller, writes row drags to a pasteboard and decides on drops; the
// delegate makes cell views and hears of selection changes.
#pragma once

#include <QVariant>

#include "foundation/IndexSet.h"

class QWidget;

namespace ui {

class DraggingInfo;
class Pasteboard;
class TableView;

// Where a drop lands: on a row, or between rows above it.
enum TableViewDropOperation { TableViewDropOn = 0, TableViewDropAbove = 1 };

class TableViewDataSource {
 public:
  virtual ~TableViewDataSource() = default;
  virtual int numberOfRowsInTableView(TableView* table);
  virtual QVariant tableViewObjectValue(TableView* table, const QString& column, int row);
  // Puts the dragged rows on the drag pasteboard; false refuses the drag.
  virtual bool tableViewWriteRowsWithIndexes(TableView* table, const fnd::IndexSet& rows,
                                             Pasteboard& pasteboard);
  // The drag operation a drop at `row` would do; may retarget the drop
  // through TableView::setDropRow.
  virtual unsigned tableViewValidateDrop(TableView* table, DraggingInfo& info, int row,
                                         TableViewDropOperation operation);
  virtual bool tableViewAcceptDrop(TableView* table, DraggingInfo& info, int row,
                                   TableViewDropOperation operation);
};

class TableViewDelegate {
 public:
  virtual ~TableViewDelegate() = default;
  // A cell view for the row (made with TableView::makeViewWithIdentifier),
  // or null to show the cell's value as text.
  virtual QWidget* tableViewViewForTableColumn(TableView* table, const QString& column, int row);
  virtual void tableViewSelectionDidChange(TableView* table);
  // The row's height in pixels, for rows of different heights; 0 or less
  // keeps the table's default height.
  virtual int tableViewHeightOfRow(TableView*, int) { return 0; }
};

}  // namespace ui
