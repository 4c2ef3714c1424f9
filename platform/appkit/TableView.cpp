#include "appkit/TableView.h"

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QMenu>
#include <QMouseEvent>

#include "appkit/ArrayController.h"
#include "appkit/TableViewModel.h"

namespace ui {

TableView::TableView(QWidget* parent) : QTableView(parent), model_(new TableViewModel(this)) {
  setModel(model_);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  verticalHeader()->hide();
  horizontalHeader()->setStretchLastSection(true);
  connect(selectionModel(), &QItemSelectionModel::selectionChanged, this,
          [this] { viewSelectionChanged(); });
}

TableView::~TableView() { bindContent(nullptr); }

void TableView::bindContent(ArrayController* controller) {
  if (controller_) {
    controller_->removeObserver(contentToken_);
    controller_->removeObserver(selectionToken_);
  }
  controller_ = controller;
  contentToken_ = selectionToken_ = 0;
  if (controller) {
    contentToken_ = controller->addObserver(
        "arrangedObjects", 0,
        [this](fnd::Observable*, const QString&, const fnd::KeyValueChange&) { reloadData(); });
    selectionToken_ = controller->addObserver(
        "selectionIndexes", 0,
        [this](fnd::Observable*, const QString&, const fnd::KeyValueChange&) {
          controllerSelectionChanged();
        });
  }
  reloadData();
}

void TableView::addTableColumn(const QString& identifier, const QString& title) {
  columns_.append(identifier);
  titles_.append(title);
  reloadData();
}

void TableView::registerCellView(const QString& identifier, CellFactory factory) {
  cellFactories_.insert(identifier, std::move(factory));
}

QWidget* TableView::makeViewWithIdentifier(const QString& identifier, QObject* owner) {
  auto factory = cellFactories_.find(identifier);
  return factory == cellFactories_.end() ? nullptr : (*factory)(owner);
}

QWidget* TableView::viewAtColumn(int column, int row) const {
  return indexWidget(model_->index(row, column));
}

int TableView::numberOfRows() const {
  if (controller_) return int(controller_->arrangedObjects().size());
  return dataSource_ ? dataSource_->numberOfRowsInTableView(const_cast<TableView*>(this)) : 0;
}

void TableView::reloadData() {
  syncingSelection_ = true;
  model_->reload();
  syncingSelection_ = false;
  makeCellViews();
  if (controller_) controllerSelectionChanged();
}

void TableView::makeCellViews() {
  if (!delegate_) return;
  const int rows = numberOfRows();
  for (int row = 0; row < rows; ++row) {
    for (int column = 0; column < columns_.size(); ++column) {
      if (QWidget* cell = delegate_->tableViewViewForTableColumn(this, columns_[column], row))
        setIndexWidget(model_->index(row, column), cell);
    }
    const int height = delegate_->tableViewHeightOfRow(this, row);
    verticalHeader()->resizeSection(row,
                                    height > 0 ? height : verticalHeader()->defaultSectionSize());
  }
}

int TableView::selectedRow() const {
  const fnd::IndexSet rows = selectedRowIndexes();
  return rows.lastIndex();
}

fnd::IndexSet TableView::selectedRowIndexes() const {
  fnd::IndexSet rows;
  for (const QModelIndex& index : selectionModel()->selectedRows()) rows.addIndex(index.row());
  return rows;
}

void TableView::selectRowIndexes(const fnd::IndexSet& rows, bool byExtendingSelection) {
  QItemSelection selection;
  const int last = model_->columnCount() - 1;
  for (const auto& [location, length] : rows.ranges()) {
    if (location >= numberOfRows()) break;
    const int end = std::min(location + length, numberOfRows()) - 1;
    selection.select(model_->index(location, 0), model_->index(end, std::max(last, 0)));
  }
  const auto flags =
      (byExtendingSelection ? QItemSelectionModel::Select : QItemSelectionModel::ClearAndSelect) |
      QItemSelectionModel::Rows;
  selectionModel()->select(selection, flags);
  // Arrow keys go on from the last selected row.
  if (!rows.isEmpty() && rows.lastIndex() < numberOfRows())
    selectionModel()->setCurrentIndex(model_->index(rows.lastIndex(), 0),
                                      QItemSelectionModel::NoUpdate);
}

void TableView::deselectAll() { selectionModel()->clearSelection(); }

int TableView::rowAtPoint(const QPointF& point) const { return rowAt(int(point.y())); }

QRect TableView::rectOfRow(int row) const {
  if (row < 0 || row >= numberOfRows()) return {};
  return QRect(0, rowViewportPosition(row), viewport()->width(), rowHeight(row));
}

void TableView::setDropRow(int row, TableViewDropOperation operation) {
  dropRow_ = row;
  dropOperation_ = operation;
}

void TableView::controllerSelectionChanged() {
  if (syncingSelection_) return;
  syncingSelection_ = true;
  selectRowIndexes(controller_->selectionIndexes());
  syncingSelection_ = false;
}

// The user's selection goes to the controller, which may adjust it (it
// avoids an empty selection, say); the view then shows the adjusted one.
void TableView::viewSelectionChanged() {
  if (syncingSelection_) return;
  if (controller_) {
    syncingSelection_ = true;
    controller_->setSelectionIndexes(selectedRowIndexes());
    syncingSelection_ = false;
    if (controller_->selectionIndexes() != selectedRowIndexes()) controllerSelectionChanged();
  }
  if (delegate_) delegate_->tableViewSelectionDidChange(this);
}

void TableView::mousePressEvent(QMouseEvent* event) {
  clickedRow_ = rowAtPoint(event->position());
  QTableView::mousePressEvent(event);
}

void TableView::mouseDoubleClickEvent(QMouseEvent* event) {
  clickedRow_ = rowAtPoint(event->position());
  QTableView::mouseDoubleClickEvent(event);
  if (target_ && !doubleAction_.isEmpty()) target_->tryToPerform(doubleAction_, this);
}

void TableView::contextMenuEvent(QContextMenuEvent* event) {
  clickedRow_ = rowAtPoint(event->pos());
  if (contextMenu_) contextMenu_->popup(event->globalPos());
}

}  // namespace ui
