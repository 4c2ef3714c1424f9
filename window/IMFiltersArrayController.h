#pragma once

#include "window/IMGenericArrayController.h"

class Filter;
class Layer;
namespace ui {
class FilterBrowserPanel;
}

// The filters of the selected layer, top of the chain first: filters are
// added from the filter browser above the selected one, reordered by
// dragging (one undo step), copied to other lists and layers by dragging,
// and removed; every change reruns the layer's chain.
class IMFiltersArrayController : public IMGenericArrayController {
 public:
  IMFiltersArrayController();

  // The first of the window's selected layers; null when none is selected
  // (drops and new filters are then refused).
  Layer* layer() const;

  // ---- Base-class hooks ----
  QString objectsClass() const override { return QStringLiteral("Filter"); }
  QString rowCopiedDataKeyPath() const override { return QStringLiteral("name"); }
  void willWritePasteboardItem(ui::PasteboardItem& item, const cd::ObjectList& objects) override;
  QString moveActionName() const override;
  QString deleteActionName() const override;

  // ---- Changes rerun the chain ----
  void insertObject(cd::ManagedObject* object, int arrangedIndex) override;
  void removeObjectAtArrangedObjectIndex(int index) override;
  void customRemoveObjects(const cd::ObjectList& objects) override;

  // A new filter of that registered name at `index`; null (nothing
  // inserted) when no filter of that name can be made or no layer is there.
  Filter* obtainANewFilterWithName(const QString& name, unsigned index);
  // Opens the filter browser as a sheet on the window, previewing on the
  // layer; its end inserts the chosen filter.
  void chooseAFilter(QObject* sender);
  void browserPaneldidEndSelector(ui::FilterBrowserPanel* panel, int returnCode);
  // The browser open now, if any.
  ui::FilterBrowserPanel* filterBrowserPanel() const;

  // ---- Drops ----
  void awakeFromNib();
  unsigned tableViewValidateDrop(ui::TableView* table, ui::DraggingInfo& info, int row,
                                 ui::TableViewDropOperation operation) override;
  bool receiveDropWithInfo(ui::DraggingInfo& info, int arrangedIndex) override;

 private:
  QPointer<ui::FilterBrowserPanel> browser_;
};
