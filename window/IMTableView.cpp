#include "window/IMTableView.h"

#include "appkit/DraggingInfo.h"
#include "window/IMTableViewDelegate.h"

IMTableView::IMTableView(QWidget* parent) : ui::TableView(parent) {}

void IMTableView::keyDown(ui::Event& event) {
  if (myTableViewDelegate_) myTableViewDelegate_->tableViewKeyDown(this, event, selectedRow());
}

void IMTableView::flagsChanged(ui::Event& event) {
  if (myTableViewDelegate_) myTableViewDelegate_->tableViewFlagsChanged(this, event);
}

unsigned IMTableView::draggingSourceOperationMaskForLocal(bool) const {
  return ui::DragOperationCopy;
}
