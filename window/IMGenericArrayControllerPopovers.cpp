// Detail popovers: a double click opens the row's popover, a second one on
// the same row closes it, one on another row moves it there.
#include "appkit/Popover.h"
#include "appkit/PopoverNib.h"
#include "window/IMGenericArrayController.h"
#include "window/IMTableView.h"

void IMGenericArrayController::doubleClick(QObject*) { showDetail(selectedRowView()); }

void IMGenericArrayController::showDetail(int rowView) {
  showPopoverFromNibNamed(detailPopoverNibName(), rowView, detailPopoverPreferedEdge());
}

void IMGenericArrayController::showPopoverFromNibNamed(const QString& name, int rowView,
                                                       ui::RectEdge edge) {
  if (rowView < 0 || rowView >= arrangedObjects().size()) return;
  showPopoverFromNibNamed(name, rowView, edge, arrangedObjects()[rowView]);
}

void IMGenericArrayController::showPopoverFromNibNamed(const QString& name, int rowView,
                                                       ui::RectEdge edge,
                                                       cd::ManagedObject* object) {
  const bool sameNib = currentPopoverNibName_ == name;
  const bool sameObject = object == objectForPopover_;
  if (ui::Popover* old = currentPopover_) {
    old->performClose(nullptr);
    old->setDelegate(nullptr);
    old->deleteLater();
  }
  currentPopover_ = nullptr;
  if (sameNib && sameObject) {
    objectForPopover_ = nullptr;
    return;
  }
  objectForPopover_ = object;
  currentPopoverNibName_ = name;
  ui::Popover* popover = ui::PopoverNib::instantiate(name, this);
  if (!popover || !tableView_) return;
  currentPopover_ = popover;
  popover->setDelegate(this);
  popover->showRelativeToRect(tableView_->rectOfRow(rowView), tableView_->viewport(), edge);
}

// However it closes (a click elsewhere, Escape, another row), a popover is
// done with: it goes once the event that closed it has been handled.
void IMGenericArrayController::popoverWillClose(ui::Popover* popover) {
  if (popover) {
    popover->setDelegate(nullptr);
    popover->deleteLater();
  }
  currentPopover_ = nullptr;
  currentPopoverNibName_.clear();
}
