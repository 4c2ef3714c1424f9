// Row drags: the item naming the dragged rows (after the rows' own values,
// for other programs), and drops of a list's own rows turned into a move.
#include "appkit/DraggingInfo.h"
#include "appkit/KeyValuePath.h"
#include "appkit/core/Pasteboard.h"
#include "window/IMGenericArrayController.h"
#include "window/IMTableView.h"

namespace {

// The row values that write themselves to pasteboards; others are skipped.
bool appendWritable(const QVariant& value, QList<ui::PasteboardObject>* objects) {
  if (value.metaType() == QMetaType::fromType<gfx::ImagePtr>()) {
    if (auto image = value.value<gfx::ImagePtr>()) objects->append(image);
  } else if (value.metaType() == QMetaType::fromType<QUrl>()) {
    objects->append(value.toUrl());
  } else if (value.metaType() == QMetaType::fromType<QString>()) {
    objects->append(value.toString());
  } else {
    return false;
  }
  return true;
}

}  // namespace

QVariant IMGenericArrayController::rowCopiedValue(cd::ManagedObject* object) const {
  return ui::valueForKeyPath(object, rowCopiedDataKeyPath());
}

void IMGenericArrayController::willWritePasteboardItem(ui::PasteboardItem&, const cd::ObjectList&) {
}

bool IMGenericArrayController::tableViewWriteRowsWithIndexes(ui::TableView*,
                                                             const fnd::IndexSet& rows,
                                                             ui::Pasteboard& pasteboard) {
  cd::ObjectList objects;
  QVariantList indices;
  rows.forEach([&](int row) {
    if (row >= arrangedObjects().size()) return;
    objects.append(arrangedObjects()[row]);
    indices.append(qlonglong(row));
  });
  pasteboard.clearContents();
  QList<ui::PasteboardObject> values;
  if (canCopyContent() && !rowCopiedDataKeyPath().isEmpty()) {
    for (cd::ManagedObject* object : objects) appendWritable(rowCopiedValue(object), &values);
  }
  ui::PasteboardItem item;
  item.setPropertyListForType(indices, kObjectMoveType);
  item.setPropertyListForType(QVariantList(indices), kObjectCopyType);
  willWritePasteboardItem(item, objects);
  values.append(item);
  return pasteboard.writeObjects(values);
}

// Only the list's own rows, dropped between rows, are moved here; the
// subclasses add the drops they take from elsewhere.
unsigned IMGenericArrayController::tableViewValidateDrop(ui::TableView*, ui::DraggingInfo& info,
                                                         int,
                                                         ui::TableViewDropOperation operation) {
  const bool own = tableView_ && info.draggingSource() == tableView_.data();
  return own && operation == ui::TableViewDropAbove ? ui::DragOperationMove : ui::DragOperationNone;
}

// Readers of the rows take the last item: the rows' own values come first.
bool IMGenericArrayController::tableViewAcceptDrop(ui::TableView*, ui::DraggingInfo& info, int row,
                                                   ui::TableViewDropOperation) {
  row = std::max(row, 0);
  if (!tableView_ || info.draggingSource() != tableView_.data())
    return receiveDropWithInfo(info, row);
  const QList<ui::PasteboardItem> items = info.draggingPasteboard().pasteboardItems();
  if (!items.isEmpty() && arrangedObjects().size() > 1) {
    const QVariantList rows = items.last().propertyListForType(kObjectMoveType).toList();
    moveObjectsInArrangedObjectsFromIndexes(indexSetFromRows(rows), row);
  }
  return !items.isEmpty();
}

bool IMGenericArrayController::receiveDropWithInfo(ui::DraggingInfo&, int) { return false; }
