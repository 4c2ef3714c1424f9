#include "window/IMGenericArrayController.h"

#include "coredata/ManagedObjectContext.h"
#include "foundation/Localized.h"
#include "foundation/UndoManager.h"
#include "window/IMListPanelWindow.h"
#include "window/IMTableView.h"

IMGenericArrayController::IMGenericArrayController() {
  addAction("remove:", [this](QObject* sender) { remove(sender); });
  addAction("doubleClick:", [this](QObject* sender) { doubleClick(sender); });
  addAction("removeFromContextualMenuItem:",
            [this](QObject* sender) { removeFromContextualMenuItem(sender); });
  addAction("copyFromContextualMenuItem:",
            [this](QObject* sender) { copyFromContextualMenuItem(sender); });
}

IMGenericArrayController::~IMGenericArrayController() {
  if (currentPopover_) {
    currentPopover_->setDelegate(nullptr);
    delete currentPopover_.data();
  }
  // The table outlives its controller in the window's widgets.
  if (tableView_ && tableView_->dataSource() == this) tableView_->setDataSource(nullptr);
  if (tableView_) tableView_->bindContent(nullptr);
}

void IMGenericArrayController::setTableView(IMTableView* table) {
  if (tableView_) tableView_->bindContent(nullptr);
  tableView_ = table;
}

// What the window's interface description connects: the table shows this
// controller's arranged objects, asks it for drags and drops of its rows,
// hands it its keys and sends it its double action.
void IMGenericArrayController::awakeFromNib() {
  isUILoaded_ = true;
  if (!tableView_) return;
  tableView_->setDataSource(this);
  tableView_->setMyTableViewDelegate(this);
  tableView_->bindContent(this);
  tableView_->setTarget(this);
  tableView_->setDoubleAction("doubleClick:");
  // Enough for reordering; the lists that take other drops register more.
  tableView_->registerForDraggedTypes({kObjectMoveType});
}

// ---- Derived values ----

cd::ManagedObject* IMGenericArrayController::theSelection() const {
  const cd::ObjectList objects = selectedObjects();
  return objects.isEmpty() ? nullptr : objects.first();
}

void IMGenericArrayController::setTheSelection(cd::ManagedObject* object) {
  if (dontUpdateSelectedObjects_) return;
  setSelectedObjects(object ? cd::ObjectList{object} : cd::ObjectList{});
}

ui::Responder* IMGenericArrayController::mainView() const {
  return isUILoaded_ && windowController_ ? windowController_->mainView() : nullptr;
}

int IMGenericArrayController::selectedRowView() const {
  if (!tableView_ || tableView_->numberOfRows() == 0) return -1;
  return std::max(tableView_->selectedRow(), 0);
}

cd::ObjectList IMGenericArrayController::contextualMenuObjects() const {
  const int clicked = tableView_ ? tableView_->clickedRow() : -1;
  if (clicked < 0 || clicked >= arrangedObjects().size()) return {};
  if (selectionIndexes().contains(clicked)) return selectedObjects();
  return {arrangedObjects()[clicked]};
}

QVariant IMGenericArrayController::valueForKey(const QString& key) const {
  if (key == "theSelection") return QVariant::fromValue(theSelection());
  return ArrayController::valueForKey(key);
}

void IMGenericArrayController::setValueForKey(const QString& key, const QVariant& value) {
  if (key == "theSelection") return setTheSelection(value.value<cd::ManagedObject*>());
  ArrayController::setValueForKey(key, value);
}

QSet<QString> IMGenericArrayController::keyPathsForValuesAffectingValueForKey(
    const QString& key) const {
  if (key == "theSelection") return {"selectionIndexes", "selection", "selectedObjects"};
  return ArrayController::keyPathsForValuesAffectingValueForKey(key);
}

// ---- Content and selection ----

void IMGenericArrayController::setContent(const cd::ObjectList& objects) {
  ArrayController::setContent(objects);
  if (windowController_) windowController_->updateEnablingOfTools();
}

// Observers of "theSelection" hear of every call once, whether or not the
// indexes changed.
bool IMGenericArrayController::setSelectionIndexes(const fnd::IndexSet& indexes) {
  willChangeValueForKey("theSelection");
  const bool changed = ArrayController::setSelectionIndexes(indexes);
  if (windowController_) windowController_->resetCursorRectsOfMainView();
  dontUpdateSelectedObjects_ = true;
  setTheSelection(theSelection());
  dontUpdateSelectedObjects_ = false;
  didChangeValueForKey("theSelection");
  return changed;
}

// ---- Removing ----

void IMGenericArrayController::remove(QObject* sender) {
  const cd::ObjectList removed = selectedObjects();
  ArrayController::remove(sender);
  cd::ManagedObjectContext* context = managedObjectContext();
  for (auto object = removed.rbegin(); context && object != removed.rend(); ++object)
    context->deleteObject(*object);
  if (!removed.isEmpty()) setUndoActionName(deleteActionName());
}

void IMGenericArrayController::customRemoveObjects(const cd::ObjectList& objects) {
  cd::ManagedObjectContext* context = managedObjectContext();
  for (auto object = objects.rbegin(); object != objects.rend(); ++object) {
    removeObject(*object);
    if (context) context->deleteObject(*object);
  }
  if (!objects.isEmpty()) setUndoActionName(deleteActionName());
}

void IMGenericArrayController::customCopyObjects(const cd::ObjectList&) {}

QString IMGenericArrayController::moveActionName() const { return fnd::localized("Move"); }

QString IMGenericArrayController::deleteActionName() const { return fnd::localized("Delete"); }

void IMGenericArrayController::setUndoActionName(const QString& name) const {
  cd::ManagedObjectContext* context = managedObjectContext();
  if (fnd::UndoManager* undo = context ? context->undoManager() : nullptr)
    undo->setActionName(name);
}

void IMGenericArrayController::removeFromContextualMenuItem(QObject*) {
  customRemoveObjects(contextualMenuObjects());
}

void IMGenericArrayController::copyFromContextualMenuItem(QObject*) {
  customCopyObjects(contextualMenuObjects());
}

// ---- Moving rows ----

void IMGenericArrayController::moveObjectsInArrangedObjectsFromIndexes(const fnd::IndexSet& indexes,
                                                                       int index) {
  cd::ManagedObjectContext* context = managedObjectContext();
  fnd::UndoManager* undo = context ? context->undoManager() : nullptr;
  if (context) context->processPendingChanges();
  if (undo) undo->beginUndoGrouping();
  int target = index;
  int shift = 0;
  for (int i = indexes.lastIndex(); i >= 0; i = indexes.indexLessThanIndex(i)) {
    int at = i + shift;
    if (i < target) {
      at = i;
      --target;
    } else {
      ++shift;
    }
    if (at >= arrangedObjects().size()) continue;
    cd::ManagedObject* object = arrangedObjects()[at];
    removeIsFromAnIndexChangingOrder_ = true;
    removeObjectAtArrangedObjectIndex(at);
    insertObject(object, target);
    removeIsFromAnIndexChangingOrder_ = false;
  }
  if (context) context->processPendingChanges();
  if (undo) {
    undo->setActionName(moveActionName());
    undo->endUndoGrouping();
  }
  setSelectionIndexes(fnd::IndexSet::range(target, indexes.count()));
}

fnd::IndexSet IMGenericArrayController::indexSetFromRows(const QVariantList& rows) {
  fnd::IndexSet indexes;
  for (const QVariant& row : rows) indexes.addIndex(int(row.toLongLong()));
  return indexes;
}
