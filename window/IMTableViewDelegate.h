#pragma once

namespace ui {
class Event;
}

class IMTableView;

// Where a list's keys go instead of the table's own handling: the list's
// controller decides (Delete removes rows; the rest goes to the canvas).
class IMTableViewDelegate {
 public:
  virtual ~IMTableViewDelegate() = default;
  // `row` is the table's selected row, −1 for none.
  virtual void tableViewKeyDown(IMTableView* table, ui::Event& event, long row) = 0;
  virtual void tableViewFlagsChanged(IMTableView* table, ui::Event& event) = 0;
};
