// The document window's layer commands, their validation and the toolbar.
#include "appkit/MenuItem.h"
#include "appkit/ToolbarItem.h"
#include "appkit/UserInterfaceItem.h"
#include "appkit/core/Beep.h"
#include "appkit/core/Pasteboard.h"
#include "coredata/ManagedObjectContext.h"
#include "foundation/Localized.h"
#include "foundation/UndoManager.h"
#include "model/IMAManagedObjectContext.h"
#include "model/Layer.h"
#include "model/Settings.h"
#include "window/IMLayersArrayController.h"
#include "window/IMTemplateImages.h"
#include "window/IMWindowController.h"

namespace {

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
  addAction("fill:", [this](QObject*) { fillSelectionOrLayers(); });
  // The pasteboard's images go on top, each a layer of its own, ready to
  // be moved with the drag tool.
  addAction("paste:", [this, layers](QObject*) {
    if (!layers->addLayerWithPasteboard(ui::Pasteboard::generalPasteboard(), 0)) return ui::beep();
    if (IMWindowTools* tools = toolsController()) {
      tools->deselect();
      tools->selectLayerDragingTool();
    }
  });
  addAction("copy:", [this](QObject*) { copyOrDeleteSelection(false); });
  addAction("delete:", [this](QObject*) { copyOrDeleteSelection(true); });
  addAction("cut:", [this](QObject*) {
    copyOrDeleteSelection(false);
    copyOrDeleteSelection(true);
  });
  addAction("deleteSelection", [this](QObject*) { copyOrDeleteSelection(true); });
  addAction("undo:", [this](QObject*) {
    if (fnd::UndoManager* undo = undoManager(); undo && undo->canUndo()) undo->undo();
  });
  addAction("redo:", [this](QObject*) {
    if (fnd::UndoManager* undo = undoManager(); undo && undo->canRedo()) undo->redo();
  });
  addAction("zoom2x:", [this](QObject*) { setZoom(zoom() * 2); });
  addAction("unZoom2x:", [this](QObject*) { setZoom(zoom() * 0.5); });
  addAction("adjustZoomToRealSize:", [this](QObject*) {
    setZoom(1);
    adjustWindowForMaximumVisibleRect();
  });
  addAction("adjustZoomFordocumentToFitVisibleRect:",
            [this](QObject*) { adjustZoomForDocumentToFitVisibleRect(); });
  addAction("selectAll:", [this](QObject*) {
    if (toolsController_) toolsController_->selectAll();
  });
  addAction("crop:", [this](QObject*) {
    if (toolsController_)
      toolsController_->nonDestructiveCropLayers(layersController_->arrangedLayers());
  });
  addAction("toggleLayers:", [this](QObject*) { hideLayersAction(); });
  addWindowActions();
}

bool IMWindowController::validateUserInterfaceItem(const ui::UserInterfaceItem& item) {
  const QString action = item.action();
  if (bool enabled = true; validateWindowActionItem(action, enabled)) return enabled;
  if (action == "addNewLayer:" || action == "toggleLayers:") return composedImage() != nullptr;
  if (action == "zoom2x:" || action == "unZoom2x:" || action == "adjustZoomToRealSize:" ||
      action == "adjustZoomFordocumentToFitVisibleRect:")
    return composedImage() != nullptr;
  if (action == "deleteLayers:") return layersController_->atLeastOneLayerSelected();
  // A lone layer has nothing to merge with, and nothing selected nothing to merge.
  if (action == "merge:")
    return layersController_->objectsCount() > 1 && layersController_->atLeastOneLayerSelected();
  if (action == "fill:")
    return layersController_->atLeastOneLayerSelected() &&
           layersController_->selectedLayersAreValideForDeletion();
  if (action == "crop:") return toolsController_ && toolsController_->hasRectSelection();
  if (action == "copy:") return layersController_->atLeastOneLayerSelected();
  // Without a selection whole layers go, and any selected layer qualifies.
  if (action == "cut:" || action == "delete:")
    return layersController_->atLeastOneLayerSelected() &&
           (!toolsHaveSelection() || layersController_->selectedLayersAreValideForDeletion());
  if (action == "undo:" || action == "redo:") {
    fnd::UndoManager* undo = undoManager();
    const bool isUndo = action == "undo:";
    // Validation is where the Edit menu's titles follow the steps they act
    // on, as their enabling does.
    if (auto* menuItem = dynamic_cast<const ui::MenuItem*>(&item))
      const_cast<ui::MenuItem*>(menuItem)->setText(
          !undo ? fnd::localized(isUndo ? "Undo" : "Redo")
                : (isUndo ? undo->undoMenuItemTitle() : undo->redoMenuItemTitle()));
    return undo && (isUndo ? undo->canUndo() : undo->canRedo());
  }
  return ui::WindowController::validateUserInterfaceItem(item);
}

std::unique_ptr<ui::ToolbarItem> IMWindowController::toolbarItemForItemIdentifier(
    ui::Toolbar* toolbar, const QString& identifier, bool) {
  if (identifier == QLatin1String("SharingToolbarItem")) return sharingToolbarItem(toolbar);
  for (const ToolbarEntry& entry : kToolbarEntries) {
    if (identifier != QLatin1String(entry.identifier)) continue;
    auto item = std::make_unique<ui::ToolbarItem>(identifier);
    item->setLabel(fnd::localized(entry.label));
    item->setToolTip(fnd::localized(entry.label));
    item->setAction(QString::fromLatin1(entry.action));
    item->setImage(IMTemplateImages::themeIcon(QString::fromLatin1(entry.themeName),
                                               QString::fromLatin1(entry.bundled)));
    return item;
  }
  return nullptr;
}

QStringList IMWindowController::toolbarDefaultItemIdentifiers(ui::Toolbar*) {
  QStringList identifiers;
  for (const ToolbarEntry& entry : kToolbarEntries) identifiers.append(entry.identifier);
  return identifiers;
}

// With a selection, its masked area of the top visible selected layer
// takes the first colour and the selection goes; without one, the
// selected layers are filled whole.
void IMWindowController::fillSelectionOrLayers() {
  if (!toolsController_ || !toolsController_->hasSelection()) return layersController_->fill();
  const QRectF rect = toolsController_->selectedRect();
  Layer* layer = layersController_->topVisibleSelectedLayer();
  if (!layer) return ui::beep();
  const ci::Image mask = toolsController_->selectionMaskWithSize(rect.size().toSize());
  layersController_->deleteLayers({layer}, mask, rect, true);
  toolsController_->deselect();
}

// The selected layers, or the selected pixels of them, copied or deleted.
void IMWindowController::copyOrDeleteSelection(bool isDelete) {
  IMWindowTools* tools = toolsController();
  const QRectF rect = tools ? tools->selectedRect() : QRectF();
  const QList<Layer*> layers = layersController_->selectedLayers();
  if (isDelete)
    layersController_->deleteLayers(layers, tools, rect);
  else
    layersController_->copyLayers(layers, tools, rect);
}

// The document's changes, as its store's context records them.
fnd::UndoManager* IMWindowController::undoManager() const {
  IMAManagedObjectContext* context = managedObjectContext();
  return context ? context->undoManager() : nullptr;
}
