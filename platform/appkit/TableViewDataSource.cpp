#include "appkit/TableViewDataSource.h"

namespace ui {

int TableViewDataSource::numberOfRowsInTableView(TableView*) { return 0; }

QVariant TableViewDataSource::tableViewObjectValue(TableView*, const QString&, int) { return {}; }

bool TableViewDataSource::tableViewWriteRowsWithIndexes(TableView*, const fnd::IndexSet&,
                                                        Pasteboard&) {
  return false;
}

unsigned TableViewDataSource::tableViewValidateDrop(TableView*, DraggingInfo&, int,
                                                    TableViewDropOperation) {
  return 0;  // no operation
}

bool TableViewDataSource::tableViewAcceptDrop(TableView*, DraggingInfo&, int,
                                              TableViewDropOperation) {
  return false;
}

QWidget* TableViewDelegate::tableViewViewForTableColumn(TableView*, const QString&, int) {
  return nullptr;
}

void TableViewDelegate::tableViewSelectionDidChange(TableView*) {}

}  // namespace ui
