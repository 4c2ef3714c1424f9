// The document window's layer commands, their validation and the toolbar.
#include <QIcon>

#include "appkit/ToolbarItem.h"
#include "appkit/UserInterfaceItem.h"
#include "foundation/Localized.h"
#include "model/Settings.h"
#include "window/IMLayersArrayController.h"
#include "window/IMWindowController.h"

static void initWindowResources() { Q_INIT_RESOURCE(window); }

namespace {

// The desktop's icon theme first, the program's own drawing otherwise.
QIcon themeIcon(const QString& themeName, const QString& bundled) {
  static const bool loaded = (initWindowResources(), true);
  (void)loaded;
  return QIcon::fromTheme(themeName, QIcon(QStringLiteral(":/window/icons/%1.svg").arg(bundled)));
}

struct ToolbarEntry {
  const char* identifier;
  const char* label;
  const char* action;
  const char* themeName;
  const char* bundled;
};

const ToolbarEntry kToolbarEntries[] = {
    {"NewLayerToolbarItem", "New Layer", "addNewLayer:", "list-add", "add"},
    {"DeleteLayerToolbarItem", "Delete Layer", "deleteLayers:", "list-remove", "remove"},
    {"MergeToolbarItem", "Merge", "merge:", "object-group", "merge"},
    {"LayersToolbarItem", "Layers", "toggleLayers:", "view-list-details", "layers"},
};

}  // namespace

void IMWindowController::addActions() {
  IMLayersArrayController* layers = layersController_.get();
  addAction("addNewLayer:", [layers](QObject*) { layers->addNewLayer(); });
  addAction("deleteLayers:", [layers](QObject*) { layers->deleteLayers({}); });
  addAction("merge:", [layers](QObject*) { layers->merge(); });
  addAction("fill:", [layers](QObject*) { layers->fill(); });
  addAction("toggleLayers:", [this](QObject*) {
    std::shared_ptr<Settings> s = settings();
    hideLayersAnimated(true, s && s->layersUIVisible());
  });
}

bool IMWindowController::validateUserInterfaceItem(const ui::UserInterfaceItem& item) {
  const QString action = item.action();
  if (action == "addNewLayer:" || action == "toggleLayers:") return composedImage() != nullptr;
  if (action == "deleteLayers:" || action == "merge:")
    return layersController_->atLeastOneLayerSelected();
  if (action == "fill:") return layersController_->selectedLayersAreValideForDeletion();
  return ui::WindowController::validateUserInterfaceItem(item);
}

std::unique_ptr<ui::ToolbarItem> IMWindowController::toolbarItemForItemIdentifier(
    ui::Toolbar*, const QString& identifier, bool) {
  for (const ToolbarEntry& entry : kToolbarEntries) {
    if (identifier != QLatin1String(entry.identifier)) continue;
    auto item = std::make_unique<ui::ToolbarItem>(identifier);
    item->setLabel(fnd::localized(entry.label));
    item->setToolTip(fnd::localized(entry.label));
    item->setAction(QString::fromLatin1(entry.action));
    item->setImage(
        themeIcon(QString::fromLatin1(entry.themeName), QString::fromLatin1(entry.bundled)));
    return item;
  }
  return nullptr;
}

QStringList IMWindowController::toolbarDefaultItemIdentifiers(ui::Toolbar*) {
  QStringList identifiers;
  for (const ToolbarEntry& entry : kToolbarEntries) identifiers.append(entry.identifier);
  return identifiers;
}
