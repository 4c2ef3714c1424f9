#include "appkit/Toolbar.h"

#include <QResizeEvent>
#include <algorithm>

#include "appkit/Application.h"

namespace ui {

Toolbar::Toolbar(const QString& identifier, QWidget* parent)
    : QToolBar(parent), identifier_(identifier) {
  setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
  if (Application* application = Application::existingApplication())
    connect(application, &Application::windowsUpdated, this, [this] { validateVisibleItems(); });
}

Toolbar::~Toolbar() = default;

void Toolbar::setDelegate(ToolbarDelegate* delegate) {
  delegate_ = delegate;
  if (!delegate) return;
  for (const QString& identifier : delegate->toolbarDefaultItemIdentifiers(this))
    insertItemWithItemIdentifier(identifier, int(entries_.size()));
}

QList<ToolbarItem*> Toolbar::items() const {
  QList<ToolbarItem*> items;
  for (const Entry& entry : entries_) items.append(entry.item.get());
  return items;
}

ToolbarItem* Toolbar::insertItemWithItemIdentifier(const QString& identifier, int index) {
  if (!delegate_) return nullptr;
  std::unique_ptr<ToolbarItem> item =
      delegate_->toolbarItemForItemIdentifier(this, identifier, true);
  if (!item) return nullptr;
  index = std::clamp(index, 0, int(entries_.size()));
  QAction* before = index < int(entries_.size()) ? entries_[index].shown : nullptr;
  ToolbarItem* made = item.get();
  QAction* shown = made->view() ? insertWidget(before, made->view())
                                : (insertAction(before, made->qAction()), made->qAction());
  entries_.insert(entries_.begin() + index, Entry{std::move(item), shown});
  fitItems();
  return made;
}

void Toolbar::removeItemAtIndex(int index) {
  if (index < 0 || index >= int(entries_.size())) return;
  removeAction(entries_[index].shown);
  entries_.erase(entries_.begin() + index);
  fitItems();
}

QList<ToolbarItem*> Toolbar::hiddenItems() const {
  QList<ToolbarItem*> hidden;
  for (const Entry& entry : entries_)
    if (!entry.shown->isVisible()) hidden.append(entry.item.get());
  return hidden;
}

void Toolbar::validateVisibleItems() {
  for (const Entry& entry : entries_)
    if (entry.shown->isVisible()) entry.item->validate();
}

void Toolbar::resizeEvent(QResizeEvent* event) {
  QToolBar::resizeEvent(event);
  fitItems();
}

// Shows every item, then hides the lowest priorities (the later item first
// among equals) until the rest fit the bar's length.
void Toolbar::fitItems() {
  for (Entry& entry : entries_) entry.shown->setVisible(true);
  if (width() <= 0) return;
  std::vector<Entry*> order;
  for (auto entry = entries_.rbegin(); entry != entries_.rend(); ++entry) order.push_back(&*entry);
  std::stable_sort(order.begin(), order.end(), [](const Entry* a, const Entry* b) {
    return a->item->visibilityPriority() < b->item->visibilityPriority();
  });
  int needed = 0;
  for (Entry& entry : entries_)
    needed += widgetForAction(entry.shown) ? widgetForAction(entry.shown)->sizeHint().width() : 0;
  for (auto it = order.begin(); it != order.end() && needed > width(); ++it) {
    if (QWidget* widget = widgetForAction((*it)->shown)) needed -= widget->sizeHint().width();
    (*it)->shown->setVisible(false);
  }
}

}  // namespace ui
