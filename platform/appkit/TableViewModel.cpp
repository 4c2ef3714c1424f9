#include "appkit/TableViewModel.h"

#include "appkit/ArrayController.h"
#include "appkit/TableView.h"

namespace ui {

TableViewModel::TableViewModel(TableView* table) : QAbstractTableModel(table), table_(table) {}

int TableViewModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : table_->numberOfRows();
}

int TableViewModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : int(table_->tableColumnIdentifiers().size());
}

QVariant TableViewModel::data(const QModelIndex& index, int role) const {
  if (role != Qt::DisplayRole || !index.isValid()) return {};
  const QString column = table_->tableColumnIdentifiers().value(index.column());
  if (ArrayController* controller = table_->boundController()) {
    const cd::ObjectList objects = controller->arrangedObjects();
    return index.row() < objects.size() ? objects[index.row()]->valueForKey(column) : QVariant();
  }
  if (TableViewDataSource* source = table_->dataSource())
    return source->tableViewObjectValue(table_, column, index.row());
  return {};
}

QVariant TableViewModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole || orientation != Qt::Horizontal) return {};
  return table_->tableColumnTitle(section);
}

// Drags start from any row; drops are decided by the table, not the model.
Qt::ItemFlags TableViewModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::ItemIsDropEnabled;
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled;
}

}  // namespace ui
