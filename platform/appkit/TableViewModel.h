// The item model behind a TableView: one row per arranged object of the
// bound controller (or per data-source row), one column per identifier,
// the cell text asked of the object or the data source.
#pragma once

#include <QAbstractTableModel>

namespace ui {

class TableView;

class TableViewModel : public QAbstractTableModel {
 public:
  explicit TableViewModel(TableView* table);

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

  void reload() {
    beginResetModel();
    endResetModel();
  }

 private:
  TableView* table_;
};

}  // namespace ui
