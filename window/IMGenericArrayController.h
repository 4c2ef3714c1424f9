#pragma once

#include <QPointer>
#include <QVariantList>

#include "appkit/ArrayController.h"
#include "appkit/Popover.h"
#include "appkit/Responder.h"
#include "appkit/TableViewDataSource.h"
#include "window/IMTableView.h"
#include "window/IMTableViewDelegate.h"

class IMListPanelWindow;

namespace ui {
class PasteboardItem;
class Pasteboard;
}  // namespace ui

// The behaviour the document window's three lists (layers, filters,
// parameters) share: reordering rows by dragging them inside the list as one
// undoable step, a drag item naming the dragged rows, deletion with the
// Delete key or a contextual menu, other keys handed to the canvas, and
// detail popovers that open and close on the same row. Subclasses supply
// their objects' pasteboard data, the drops they accept and their popovers.
// The private types of a row drag's last item: the dragged rows' indexes,
// ascending, as a property-list array, twice.
inline const QString kObjectMoveType = QStringLiteral("com.brenwick.object.move");
inline const QString kObjectCopyType = QStringLiteral("com.brenwick.object.copy");

class IMGenericArrayController : public ui::ArrayController,
                                 public ui::TableViewDataSource,
                                 public ui::PopoverDelegate,
                                 public IMTableViewDelegate,
                                 public ui::Responder {
 public:
  IMGenericArrayController();
  ~IMGenericArrayController() override;

  // ---- Outlets and state ----
  IMTableView* tableView() const { return tableView_; }
  void setTableView(IMTableView* table);
  // The owner; not retained, cleared by the window controller.
  IMListPanelWindow* windowController() const { return windowController_; }
  void setWindowController(IMListPanelWindow* owner) { windowController_ = owner; }
  bool isUILoaded() const { return isUILoaded_; }
  ui::Popover* currentPopover() const { return currentPopover_; }
  QString currentPopoverNibName() const { return currentPopoverNibName_; }
  cd::ManagedObject* objectForPopover() const { return objectForPopover_; }
  // Raised while a row move takes an object out and puts it back, so that
  // subclasses do not delete it from the store.
  bool removeIsFromAnIndexChangingOrder() const { return removeIsFromAnIndexChangingOrder_; }

  // ---- Derived values ----
  // The first selected object, or null.
  cd::ManagedObject* theSelection() const;
  // Selects exactly the given object (nothing for null).
  void setTheSelection(cd::ManagedObject* object);
  // Null until the UI is loaded.
  ui::Responder* mainView() const;
  // The row whose view detail popovers open at: the selected row, else 0.
  int selectedRowView() const;
  // What a contextual-menu command applies to: nothing when the click hit no
  // row, the selection when it hit a selected row, else the clicked row.
  cd::ObjectList contextualMenuObjects() const;

  // ---- What subclasses replace ----
  virtual QString objectsClass() const { return {}; }
  // Key path of each dragged row's value that writes itself to pasteboards.
  virtual QString rowCopiedDataKeyPath() const { return {}; }
  // That value for one row object: an image, a URL or a string is written.
  virtual QVariant rowCopiedValue(cd::ManagedObject* object) const;
  virtual bool canCopyContent() const { return true; }
  virtual QString detailPopoverNibName() const { return {}; }
  virtual ui::RectEdge detailPopoverPreferedEdge() const { return ui::MaxYEdge; }
  virtual void willWritePasteboardItem(ui::PasteboardItem& item, const cd::ObjectList& objects);
  // A drop that is not a reorder of this list's own rows; the base refuses.
  virtual bool receiveDropWithInfo(ui::DraggingInfo& info, int arrangedIndex);
  virtual void customRemoveObjects(const cd::ObjectList& objects);
  virtual void customCopyObjects(const cd::ObjectList& objects);
  // What Edit › Undo calls a reorder and a removal of this list's rows.
  virtual QString moveActionName() const;
  virtual QString deleteActionName() const;

  // Names the undo step being built (the one the change just made opened,
  // or the group around it) for Edit › Undo and Redo.
  void setUndoActionName(const QString& name) const;

  // ---- Operations ----
  void awakeFromNib();
  void setContent(const cd::ObjectList& objects) override;
  bool setSelectionIndexes(const fnd::IndexSet& indexes) override;
  void remove(QObject* sender) override;
  void removeFromContextualMenuItem(QObject* sender);
  void copyFromContextualMenuItem(QObject* sender);
  virtual void doubleClick(QObject* sender);
  void showDetail(int rowView);
  void showPopoverFromNibNamed(const QString& name, int rowView, ui::RectEdge edge);
  void showPopoverFromNibNamed(const QString& name, int rowView, ui::RectEdge edge,
                               cd::ManagedObject* object);
  void popoverWillClose(ui::Popover* popover) override;
  // Moves the rows at `indexes` together, in their order, above the row at
  // `index`, as one undo group, and selects them.
  void moveObjectsInArrangedObjectsFromIndexes(const fnd::IndexSet& indexes, int index);
  static fnd::IndexSet indexSetFromRows(const QVariantList& rows);

  // ---- Table data source and key delegate ----
  bool tableViewWriteRowsWithIndexes(ui::TableView* table, const fnd::IndexSet& rows,
                                     ui::Pasteboard& pasteboard) override;
  unsigned tableViewValidateDrop(ui::TableView* table, ui::DraggingInfo& info, int row,
                                 ui::TableViewDropOperation operation) override;
  bool tableViewAcceptDrop(ui::TableView* table, ui::DraggingInfo& info, int row,
                           ui::TableViewDropOperation operation) override;
  void tableViewKeyDown(IMTableView* table, ui::Event& event, long row) override;
  void tableViewFlagsChanged(IMTableView* table, ui::Event& event) override;

  // "theSelection", a cd::ManagedObject*, besides the controller's keys.
  QVariant valueForKey(const QString& key) const override;
  void setValueForKey(const QString& key, const QVariant& value) override;
  QSet<QString> keyPathsForValuesAffectingValueForKey(const QString& key) const override;

 private:
  QPointer<IMTableView> tableView_;
  IMListPanelWindow* windowController_ = nullptr;
  bool isUILoaded_ = false;
  QPointer<ui::Popover> currentPopover_;
  QString currentPopoverNibName_;
  cd::ManagedObject* objectForPopover_ = nullptr;
  bool removeIsFromAnIndexChangingOrder_ = false;
  bool dontUpdateSelectedObjects_ = false;
};
