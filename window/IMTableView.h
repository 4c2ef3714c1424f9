#pragma once

#include "appkit/TableView.h"

class IMTableViewDelegate;

// The document window's lists: keys go to the list's controller rather than
// moving the selection, and rows are dragged as copies, wherever they land
// (the list itself turns a drop of its own rows into a move).
class IMTableView : public ui::TableView {
 public:
  explicit IMTableView(QWidget* parent = nullptr);

  IMTableViewDelegate* myTableViewDelegate() const { return myTableViewDelegate_; }
  void setMyTableViewDelegate(IMTableViewDelegate* delegate) { myTableViewDelegate_ = delegate; }

  // Both go to the delegate only: arrows do not move the selection.
  void keyDown(ui::Event& event) override;
  void flagsChanged(ui::Event& event) override;
  // Copy, for this program's lists and for other programs alike.
  unsigned draggingSourceOperationMaskForLocal(bool local) const override;

 private:
  IMTableViewDelegate* myTableViewDelegate_ = nullptr;
};
