// A window's toolbar: items made by its delegate from identifiers, in order,
// shown as buttons (or their own views) in a QToolBar. When the bar is too
// short, items of the lowest visibility priority are hidden first. Items
// are validated whenever the application updates its windows.
#pragma once

#include <QToolBar>
#include <memory>
#include <vector>

#include "appkit/ToolbarItem.h"

namespace ui {

class Toolbar;

class ToolbarDelegate {
 public:
  virtual ~ToolbarDelegate() = default;
  // A new item for the identifier, or null when there is none to make.
  virtual std::unique_ptr<ToolbarItem> toolbarItemForItemIdentifier(
      Toolbar* toolbar, const QString& identifier, bool willBeInsertedIntoToolbar) = 0;
  virtual QStringList toolbarDefaultItemIdentifiers(Toolbar* toolbar) = 0;
};

class Toolbar : public QToolBar {
 public:
  explicit Toolbar(const QString& identifier, QWidget* parent = nullptr);
  ~Toolbar() override;

  QString identifier() const { return identifier_; }
  // Setting the delegate fills the bar with its default items.
  void setDelegate(ToolbarDelegate* delegate);
  ToolbarDelegate* delegate() const { return delegate_; }

  QList<ToolbarItem*> items() const;
  // Asks the delegate for the item and shows it at `index` (clamped).
  ToolbarItem* insertItemWithItemIdentifier(const QString& identifier, int index);
  void removeItemAtIndex(int index);
  // Hidden for lack of room, lowest priority first.
  QList<ToolbarItem*> hiddenItems() const;
  void validateVisibleItems();

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  QAction* actionFor(ToolbarItem* item);
  void fitItems();

  QString identifier_;
  ToolbarDelegate* delegate_ = nullptr;
  struct Entry {
    std::unique_ptr<ToolbarItem> item;
    QAction* shown;
  };
  std::vector<Entry> entries_;
};

}  // namespace ui
