// The layers list's contextual menu: copying, cutting, deleting and
// cropping the layers under the click (the selection when the click hit a
// selected row), each enabled only where it can act.
#include <QMenu>

#include "appkit/MenuItem.h"
#include "appkit/UserInterfaceItem.h"
#include "foundation/Localized.h"
#include "model/Layer.h"
#include "window/IMLayersArrayController.h"
#include "window/IMLayersPanelWindow.h"
#include "window/IMTableView.h"
#include "window/IMWindowTools.h"

IMWindowTools* IMLayersArrayController::contextualTools() const {
  IMLayersPanelWindow* window = layersWindow();
  return window ? window->selectionTool() : nullptr;
}

void IMLayersArrayController::cutFromContextualMenu(QObject*) {
  const QList<Layer*> layers = layersOf(contextualMenuObjects());
  if (layers.isEmpty()) return;
  IMWindowTools* tool = contextualTools();
  const QRectF rect = tool ? tool->selectedRect() : QRectF();
  copyLayers(layers, tool, rect);
  deleteLayers(layers, tool, rect);
}

void IMLayersArrayController::cropFromContextualMenuItem(QObject*) {
  const QList<Layer*> layers = layersOf(contextualMenuObjects());
  if (IMWindowTools* tool = contextualTools(); tool && !layers.isEmpty())
    tool->destructiveCropLayers(layers);
}

// The menu belongs to the table; its items act on this controller whatever
// has the keyboard focus.
void IMLayersArrayController::installContextualMenu() {
  IMTableView* table = tableView();
  if (!table || table->contextMenu()) return;
  auto* menu = new QMenu(table);
  const std::pair<const char*, const char*> items[] = {
      {"Copy", "copyFromContextualMenuItem:"},
      {"Cut", "cutFromContextualMenu:"},
      {"Delete", "removeFromContextualMenuItem:"},
      {"Crop", "cropFromContextualMenuItem:"},
  };
  for (const auto& [title, action] : items) {
    auto* item = new ui::MenuItem(fnd::localized(title), QString::fromLatin1(action), menu);
    item->setTarget(this);
    menu->addAction(item);
  }
  table->setContextMenu(menu);
}

// Every item needs a layer under the click. Deleting or cutting with a
// canvas selection erases pixels, which only a visible bitmap layer among
// the selected ones can give; cropping needs a rectangle to crop to.
bool IMLayersArrayController::validateUserInterfaceItem(const ui::UserInterfaceItem& item) {
  const QString action = item.action();
  const bool menuAction =
      action == "copyFromContextualMenuItem:" || action == "cutFromContextualMenu:" ||
      action == "removeFromContextualMenuItem:" || action == "cropFromContextualMenuItem:";
  if (!menuAction) return IMGenericArrayController::validateUserInterfaceItem(item);
  if (contextualMenuObjects().isEmpty()) return false;
  IMWindowTools* tool = contextualTools();
  if (action == "cropFromContextualMenuItem:") return tool && tool->hasRectSelection();
  if (action == "cutFromContextualMenu:" || action == "removeFromContextualMenuItem:")
    return !tool || !tool->hasSelection() || selectedLayersAreValideForDeletion();
  return true;
}
