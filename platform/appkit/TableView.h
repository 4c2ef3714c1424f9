// A list of rows over Qt's table view, as the document window's lists use
// it: rows from an array controller it is bound to (or from a data source),
// columns by identifier, cell views made by the delegate from factories
// registered by identifier, the selection kept in step with the controller,
// the clicked row of the last click or contextual menu, a double action sent
// to a target, and row drags that the destination carries out: the view
// never removes the rows it dragged.
#pragma once

#include <QHash>
#include <QMenu>
#include <QPointer>
#include <QTableView>
#include <functional>
#include <utility>

#include "appkit/Responder.h"
#include "appkit/TableViewDataSource.h"
#include "foundation/Observable.h"

namespace ui {

class ArrayController;
class TableViewModel;

class TableView : public QTableView, public Responder {
 public:
  explicit TableView(QWidget* parent = nullptr);
  ~TableView() override;

  void setDataSource(TableViewDataSource* source) { dataSource_ = source; }
  TableViewDataSource* dataSource() const { return dataSource_; }
  void setDelegate(TableViewDelegate* delegate) { delegate_ = delegate; }
  TableViewDelegate* delegate() const { return delegate_; }

  // Rows are the controller's arranged objects; the selections follow each
  // other both ways. Null unbinds; a controller that goes before the table
  // unbinds it first.
  void bindContent(ArrayController* controller);
  ArrayController* boundController() const { return controller_; }

  // Columns by identifier; the cell text of a bound table is the row
  // object's value for the identifier.
  void addTableColumn(const QString& identifier, const QString& title = {});
  QStringList tableColumnIdentifiers() const { return columns_; }
  QString tableColumnTitle(int column) const { return titles_.value(column); }

  using CellFactory = std::function<QWidget*(QObject* owner)>;
  void registerCellView(const QString& identifier, CellFactory factory);
  // A new cell view from the factory of `identifier`, or null.
  QWidget* makeViewWithIdentifier(const QString& identifier, QObject* owner);
  // The cell view shown at (column, row), if the delegate made one.
  QWidget* viewAtColumn(int column, int row) const;

  int numberOfRows() const;
  // Reads the rows again and remakes the cell views.
  void reloadData();

  // The last selected row, or -1.
  int selectedRow() const;
  fnd::IndexSet selectedRowIndexes() const;
  void selectRowIndexes(const fnd::IndexSet& rows, bool byExtendingSelection = false);
  void deselectAll();
  // The row of the last click or contextual menu, -1 when it hit no row.
  int clickedRow() const { return clickedRow_; }
  // Flipped coordinates, as the table's own: y grows downwards.
  int rowAtPoint(const QPointF& point) const;
  QRect rectOfRow(int row) const;

  void setTarget(Responder* target) { target_ = target; }
  Responder* target() const { return target_; }
  // The action sent to the target when a row is double-clicked.
  void setDoubleAction(const QString& action) { doubleAction_ = action; }
  QString doubleAction() const { return doubleAction_; }

  // The contextual menu; shown without blocking, with clickedRow set.
  void setContextMenu(QMenu* menu) { contextMenu_ = menu; }
  QMenu* contextMenu() const { return contextMenu_; }

  // ---- Drags ----
  // Drops are offered to the data source only for drags carrying one of
  // these pasteboard types.
  void registerForDraggedTypes(const QStringList& types);
  QStringList registeredDraggedTypes() const { return draggedTypes_; }
  // What drags of rows allow their destinations.
  virtual unsigned draggingSourceOperationMaskForLocal(bool local) const;
  // Writes the rows through the data source and starts the drag; the rows
  // stay whatever the destination does. False when the source refused.
  bool dragRows(const fnd::IndexSet& rows);
  // Where a drop at `point` (viewport coordinates) lands before validation:
  // above a row near its top or bottom edge or past the last row, else on it.
  std::pair<int, TableViewDropOperation> proposedDrop(const QPointF& point) const;
  // Retargets a drop being validated.
  void setDropRow(int row, TableViewDropOperation operation);
  int dropRow() const { return dropRow_; }
  TableViewDropOperation dropOperation() const { return dropOperation_; }

  // ---- Keys ----
  // Without an override, the table's own key handling (arrows move the
  // selection); keys it does not use go up the responder chain.
  void keyDown(Event& event) override;

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;
  void startDrag(Qt::DropActions supportedActions) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dragLeaveEvent(QDragLeaveEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  void controllerSelectionChanged();
  void viewSelectionChanged();
  void makeCellViews();
  // Validates the drop of `event` with the data source; the operation.
  unsigned validateDrop(QDropEvent* event);
  void routeKey(QKeyEvent* event);

  TableViewModel* model_;
  TableViewDataSource* dataSource_ = nullptr;
  TableViewDelegate* delegate_ = nullptr;
  ArrayController* controller_ = nullptr;
  fnd::Observable::ObserverToken contentToken_ = 0, selectionToken_ = 0;
  QStringList columns_, titles_;
  QHash<QString, CellFactory> cellFactories_;
  Responder* target_ = nullptr;
  QString doubleAction_;
  QPointer<QMenu> contextMenu_;
  int clickedRow_ = -1;
  bool syncingSelection_ = false;
  QStringList draggedTypes_;
  QKeyEvent* pendingKey_ = nullptr;
  bool showsDropIndicator_ = false;

 protected:
  int dropRow_ = -1;
  TableViewDropOperation dropOperation_ = TableViewDropAbove;

  friend class TableViewModel;
};

}  // namespace ui
