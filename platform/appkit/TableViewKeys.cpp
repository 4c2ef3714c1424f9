// Keys of a table go through the responder's keyDown and flagsChanged, so a
// subclass can take them before the table's own handling runs.
#include <QKeyEvent>

#include "appkit/Event.h"
#include "appkit/TableView.h"

namespace ui {

void TableView::keyPressEvent(QKeyEvent* event) { routeKey(event); }

void TableView::keyReleaseEvent(QKeyEvent* event) {
  std::optional<Event> translated = Event::fromQt(*event, this);
  if (translated && translated->type() == EventType::FlagsChanged) return flagsChanged(*translated);
  QTableView::keyReleaseEvent(event);
}

void TableView::routeKey(QKeyEvent* event) {
  std::optional<Event> translated = Event::fromQt(*event, this);
  if (!translated) return QTableView::keyPressEvent(event);
  if (translated->type() == EventType::FlagsChanged) return flagsChanged(*translated);
  pendingKey_ = event;
  keyDown(*translated);
  pendingKey_ = nullptr;
}

void TableView::keyDown(Event& event) {
  if (!pendingKey_) return Responder::keyDown(event);
  QKeyEvent* key = pendingKey_;
  pendingKey_ = nullptr;
  QTableView::keyPressEvent(key);
  if (!key->isAccepted()) Responder::keyDown(event);
}

}  // namespace ui
