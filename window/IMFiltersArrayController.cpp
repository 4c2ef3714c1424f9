#include "window/IMFiltersArrayController.h"

#include "appkit/DraggingInfo.h"
#include "appkit/FilterBrowserPanel.h"
#include "appkit/TableView.h"
#include "appkit/core/Pasteboard.h"
#include "foundation/KeyedArchiver.h"
#include "foundation/Localized.h"
#include "foundation/NotificationCenter.h"
#include "model/Filter.h"
#include "model/IMImagesUtilities.h"
#include "model/Image.h"
#include "model/Layer.h"
#include "window/IMFiltersPanelWindow.h"
#include "window/IMListPanelWindow.h"

IMFiltersArrayController::IMFiltersArrayController() {
  addAction("chooseAFilter:", [this](QObject* sender) { chooseAFilter(sender); });
}

ui::FilterBrowserPanel* IMFiltersArrayController::filterBrowserPanel() const { return browser_; }

Layer* IMFiltersArrayController::layer() const {
  auto* window = dynamic_cast<IMFiltersPanelWindow*>(windowController());
  return window ? window->selectedLayers().value(0) : nullptr;
}

QString IMFiltersArrayController::moveActionName() const { return fnd::localized("Move Filter"); }

QString IMFiltersArrayController::deleteActionName() const {
  return fnd::localized("Delete Filter");
}

void IMFiltersArrayController::willWritePasteboardItem(ui::PasteboardItem& item,
                                                       const cd::ObjectList& objects) {
  QVariantList root;
  for (cd::ManagedObject* object : objects)
    if (auto* filter = dynamic_cast<Filter*>(object))
      root.append(QVariant::fromValue(filter->archivable()));
  item.setPropertyListForType(fnd::KeyedArchiver::archivedDataWithRootObject(root),
                              IMFiltersPasteboardType);
}

void IMFiltersArrayController::insertObject(cd::ManagedObject* object, int arrangedIndex) {
  IMGenericArrayController::insertObject(object, arrangedIndex);
  rearrangeObjects();
  if (auto* filter = dynamic_cast<Filter*>(object))
    if (Layer* owner = filter->layer()) owner->filtersChanged();
}

void IMFiltersArrayController::removeObjectAtArrangedObjectIndex(int index) {
  auto* filter = dynamic_cast<Filter*>(arrangedObjects().value(index));
  Layer* owner = filter ? filter->layer() : nullptr;
  IMGenericArrayController::removeObjectAtArrangedObjectIndex(index);
  if (owner) owner->filtersChanged();
}

void IMFiltersArrayController::customRemoveObjects(const cd::ObjectList& objects) {
  auto* last = objects.isEmpty() ? nullptr : dynamic_cast<Filter*>(objects.last());
  Layer* owner = last ? last->layer() : nullptr;
  IMGenericArrayController::customRemoveObjects(objects);
  if (owner) owner->filtersChanged();
}

// A filter with no layer would reach the store as an orphan: none is made.
Filter* IMFiltersArrayController::obtainANewFilterWithName(const QString& name, unsigned index) {
  if (!layer() || !managedObjectContext()) return nullptr;
  Filter* filter = Filter::createFilterWithName(name, managedObjectContext());
  if (filter) insertObject(filter, int(index));
  return filter;
}

void IMFiltersArrayController::chooseAFilter(QObject*) {
  if (browser_) return browser_->raise();
  browser_ = ui::FilterBrowserPanel::filterBrowserPanelWithStyleMask(0);
  if (Layer* current = layer())
    if (current->image()) browser_->setPreviewSource(ima_ciImage(current->image()->nsImage()));
  auto* window = dynamic_cast<IMFiltersPanelWindow*>(windowController());
  browser_->beginSheetWithOptions(
      {{ui::FilterBrowserExcludeCategories, Filter::excludedFiltersCategories()},
       {ui::FilterBrowserExcludeFilters, Filter::excludedFilters()}},
      window ? window->sheetWindow() : nullptr,
      [this](ui::FilterBrowserPanel* panel, int code) { browserPaneldidEndSelector(panel, code); });
}

// The chosen filter goes above the selected one (or on top) and is selected.
void IMFiltersArrayController::browserPaneldidEndSelector(ui::FilterBrowserPanel* panel,
                                                          int returnCode) {
  if (returnCode != 0) {
    const int first = selectionIndexes().firstIndex();
    const unsigned index = first >= 0 ? unsigned(first) : 0;
    if (obtainANewFilterWithName(panel->filterName(), index)) {
      if (tableView()) tableView()->reloadData();
      setSelectionIndex(int(index));
    }
  }
  panel->orderOut();
}

void IMFiltersArrayController::awakeFromNib() {
  IMGenericArrayController::awakeFromNib();
  if (tableView())
    tableView()->registerForDraggedTypes(
        {ui::PasteboardTypeString, kObjectCopyType, kObjectMoveType, IMFiltersPasteboardType});
}

// Own rows move; filters from elsewhere are copied in between rows.
unsigned IMFiltersArrayController::tableViewValidateDrop(ui::TableView* table,
                                                         ui::DraggingInfo& info, int row,
                                                         ui::TableViewDropOperation operation) {
  const unsigned base =
      IMGenericArrayController::tableViewValidateDrop(table, info, row, operation);
  if (tableView() && info.draggingSource() == tableView()) return base;
  if (!info.draggingPasteboard().types().contains(IMFiltersPasteboardType) || !layer()) return base;
  if (operation == ui::TableViewDropOn) table->setDropRow(row, ui::TableViewDropAbove);
  return ui::DragOperationCopy;
}

bool IMFiltersArrayController::receiveDropWithInfo(ui::DraggingInfo& info, int arrangedIndex) {
  Layer* target = layer();
  const unsigned index = unsigned(std::max(arrangedIndex, 0));
  if (!target || !target->addFiltersFromPasteboard(&info.draggingPasteboard(), index)) return false;
  fnd::NotificationCenter::defaultCenter().postNotificationName(IMLayerSnapshotEventNotification,
                                                                target);
  setSelectionIndex(int(index));
  return true;
}
