// A table as the source of row drags and as a drop destination: the data
// source writes the rows and decides on drops, above or on a row. The rows
// of a drag stay in the source table whatever the destination does: a move
// within a list is carried out by the list's own controller.
#include <QDrag>
#include <QDropEvent>
#include <QMimeData>
#include <QPainter>

#include "appkit/DragOperations.h"
#include "appkit/DraggingInfo.h"
#include "appkit/TableView.h"
#include "appkit/core/Pasteboard.h"

namespace ui {

namespace {

// The table whose rows are being dragged; drops read it when Qt gives no
// source (drags between programs, or synthesised drops).
QPointer<TableView> rowDragSource;

}  // namespace

void TableView::registerForDraggedTypes(const QStringList& types) {
  draggedTypes_ = types;
  setAcceptDrops(!types.isEmpty());
  viewport()->setAcceptDrops(!types.isEmpty());
  setDragEnabled(true);
  setDragDropMode(QAbstractItemView::DragDrop);
}

unsigned TableView::draggingSourceOperationMaskForLocal(bool local) const {
  return local ? DragOperationEvery : DragOperationCopy;
}

bool TableView::dragRows(const fnd::IndexSet& rows) {
  if (rows.isEmpty() || !dataSource_) return false;
  Pasteboard& pasteboard = Pasteboard::dragPasteboard();
  if (!dataSource_->tableViewWriteRowsWithIndexes(this, rows, pasteboard)) return false;
  QDrag drag(this);
  drag.setMimeData(pasteboard.dragMimeData());
  rowDragSource = this;
  drag.exec(qtDropActions(draggingSourceOperationMaskForLocal(true)) | Qt::CopyAction);
  rowDragSource = nullptr;
  return true;
}

void TableView::startDrag(Qt::DropActions) { dragRows(selectedRowIndexes()); }

std::pair<int, TableViewDropOperation> TableView::proposedDrop(const QPointF& point) const {
  const int row = rowAt(int(point.y()));
  if (row < 0) return {numberOfRows(), TableViewDropAbove};
  const QRect rect = rectOfRow(row);
  const int edge = std::max(rect.height() / 4, 1);
  if (point.y() < rect.top() + edge) return {row, TableViewDropAbove};
  if (point.y() >= rect.bottom() + 1 - edge) return {row + 1, TableViewDropAbove};
  return {row, TableViewDropOn};
}

unsigned TableView::validateDrop(QDropEvent* event) {
  std::unique_ptr<Pasteboard> pasteboard = Pasteboard::pasteboardWithMimeData(event->mimeData());
  if (!pasteboard || !dataSource_) return DragOperationNone;
  const QStringList types = pasteboard->types();
  if (std::none_of(types.begin(), types.end(),
                   [&](const QString& type) { return draggedTypes_.contains(type); }))
    return DragOperationNone;
  const auto [row, operation] = proposedDrop(event->position());
  setDropRow(row, operation);
  QObject* source = event->source() ? event->source() : rowDragSource.data();
  const QPointF inViewport = event->position();
  DraggingInfo info(*pasteboard, inViewport, dragOperationsOf(event->possibleActions()), source);
  return dataSource_->tableViewValidateDrop(this, info, row, operation);
}

void TableView::dragEnterEvent(QDragEnterEvent* event) { dragMoveEvent(event); }

// The destination's operation decides; Qt is shown one the source allows.
void TableView::dragMoveEvent(QDragMoveEvent* event) {
  const unsigned operation = validateDrop(event);
  showsDropIndicator_ = operation != DragOperationNone;
  viewport()->update();
  if (!showsDropIndicator_) return event->ignore();
  const Qt::DropAction action = qtDropAction(operation);
  event->setDropAction(event->possibleActions() & action ? action : event->proposedAction());
  event->accept();
}

void TableView::dragLeaveEvent(QDragLeaveEvent*) {
  showsDropIndicator_ = false;
  viewport()->update();
}

void TableView::dropEvent(QDropEvent* event) {
  showsDropIndicator_ = false;
  viewport()->update();
  if (validateDrop(event) == DragOperationNone) return event->ignore();
  std::unique_ptr<Pasteboard> pasteboard = Pasteboard::pasteboardWithMimeData(event->mimeData());
  QObject* source = event->source() ? event->source() : rowDragSource.data();
  DraggingInfo info(*pasteboard, event->position(), dragOperationsOf(event->possibleActions()),
                    source);
  if (!dataSource_->tableViewAcceptDrop(this, info, dropRow_, dropOperation_))
    return event->ignore();
  // Copy, whatever was done: Qt's own item views remove the dragged rows
  // after a move.
  event->setDropAction(Qt::CopyAction);
  event->accept();
}

// A line between rows for a drop above, a frame around the row for a drop on.
void TableView::paintEvent(QPaintEvent* event) {
  QTableView::paintEvent(event);
  if (!showsDropIndicator_) return;
  QPainter painter(viewport());
  painter.setPen(QPen(palette().highlight(), 2));
  if (dropOperation_ == TableViewDropOn) {
    painter.drawRect(rectOfRow(dropRow_).adjusted(1, 1, -1, -1));
    return;
  }
  const int y = dropRow_ < numberOfRows() ? rowViewportPosition(dropRow_)
                                          : rectOfRow(numberOfRows() - 1).bottom() + 1;
  painter.drawLine(0, y, viewport()->width(), y);
}

}  // namespace ui
