// The document window's layer commands, their validation and the toolbar.
#include <QIcon>
#include <QPainter>
#include <QPixmap>

#include "appkit/ToolbarItem.h"
#include "appkit/UserInterfaceItem.h"
#include "coredata/ManagedObjectContext.h"
#include "foundation/Localized.h"
#include "foundation/UndoManager.h"
#include "model/IMAManagedObjectContext.h"
#include "model/Settings.h"
#include "window/IMLayersArrayController.h"
#include "window/IMWindowController.h"

namespace {

// The program's own drawings of the toolbar's images, for desktops whose
// icon theme lacks them: dark strokes on a transparent 24-point square.
QPixmap drawnIcon(const QString& name) {
  QPixmap pixmap(48, 48);
  pixmap.setDevicePixelRatio(2);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  const QColor ink(51, 51, 51);
  painter.setPen(QPen(ink, 2));
  if (name == "add" || name == "remove") {
    painter.drawLine(QPointF(5, 12), QPointF(19, 12));
    if (name == "add") painter.drawLine(QPointF(12, 5), QPointF(12, 19));
  } else if (name == "merge") {
    painter.setPen(QPen(ink, 1.5));
    painter.drawRect(QRectF(3, 4, 7, 6));
    painter.drawRect(QRectF(14, 4, 7, 6));
    painter.drawLine(QPointF(12, 11), QPointF(12, 14));
    painter.fillRect(QRectF(4, 15, 16, 5), ink);
  } else {
    QPolygonF top({{12, 3}, {21, 8}, {12, 13}, {3, 8}});
    painter.setBrush(ink);
    painter.drawPolygon(top);
    painter.setBrush(Qt::NoBrush);
    painter.drawPolyline(QPolygonF({{3, 12}, {12, 17}, {21, 12}}));
    painter.drawPolyline(QPolygonF({{3, 16}, {12, 21}, {21, 16}}));
  }
  return pixmap;
}

// The desktop's icon theme first, the program's own drawing otherwise.
QIcon themeIcon(const QString& themeName, const QString& bundled) {
  return QIcon::fromTheme(themeName, QIcon(drawnIcon(bundled)));
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
  addAction("undo:", [this](QObject*) {
    if (fnd::UndoManager* undo = undoManager(); undo && undo->canUndo()) undo->undo();
  });
  addAction("redo:", [this](QObject*) {
    if (fnd::UndoManager* undo = undoManager(); undo && undo->canRedo()) undo->redo();
  });
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
  if (action == "undo:" || action == "redo:") {
    fnd::UndoManager* undo = undoManager();
    return undo && (action == "undo:" ? undo->canUndo() : undo->canRedo());
  }
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

// The document's changes, as its store's context records them.
fnd::UndoManager* IMWindowController::undoManager() const {
  IMAManagedObjectContext* context = managedObjectContext();
  return context ? context->undoManager() : nullptr;
}
