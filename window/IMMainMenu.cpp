#include "window/IMMainMenu.h"

#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>

#include "appkit/Application.h"
#include "appkit/DocumentController.h"
#include "appkit/MenuItem.h"
#include "appkit/Window.h"
#include "foundation/Localized.h"

namespace {

const char* const kInstalled = "tessalyMainMenu";

void addItem(QMenu* menu, const char* title, const char* action,
             const QKeySequence& shortcut = {}) {
  auto* item = new ui::MenuItem(fnd::localized(title), QString::fromLatin1(action), menu);
  item->setShortcut(shortcut);
  menu->addAction(item);
}

void fillFileMenu(QMenu* menu, ui::DocumentController* documentController) {
  addItem(menu, "New", "newDocument:", QKeySequence(QStringLiteral("Ctrl+N")));
  addItem(menu, "New from Clipboard", "newDocumentFromPasteboard:");
  addItem(menu, "Open…", "openDocument:", QKeySequence(QStringLiteral("Ctrl+O")));
  if (documentController) menu->addMenu(documentController->makeRecentDocumentsMenu(menu));
  menu->addSeparator();
  addItem(menu, "Close", "performClose:", QKeySequence(QStringLiteral("Ctrl+W")));
  addItem(menu, "Save", "saveDocument:", QKeySequence(QStringLiteral("Ctrl+S")));
  addItem(menu, "Save As…", "saveDocumentAs:", QKeySequence(QStringLiteral("Ctrl+Shift+S")));
  addItem(menu, "Export…", "saveDocumentTo:", QKeySequence(QStringLiteral("Ctrl+Alt+S")));
  addItem(menu, "Post to Facebook…", "exportToFacebook:");
  addItem(menu, "Move To…", "moveDocument:");
  addItem(menu, "Revert to Saved", "revertDocumentToSaved:");
  addItem(menu, "Import from Scanner or Camera…", "showImageCaptureUI:");
  menu->addSeparator();
  addItem(menu, "Print…", "printDocument:", QKeySequence(QStringLiteral("Ctrl+P")));
  menu->addSeparator();
  addItem(menu, "Preferences…", "showPreferences:", QKeySequence(QStringLiteral("Ctrl+,")));
  addItem(menu, "Quit Tessaly", "terminate:", QKeySequence(QStringLiteral("Ctrl+Q")));
}

void fillEditMenu(QMenu* menu) {
  addItem(menu, "Undo", "undo:", QKeySequence::Undo);
  addItem(menu, "Redo", "redo:", QKeySequence::Redo);
  menu->addSeparator();
  addItem(menu, "Select All", "selectAll:", QKeySequence::SelectAll);
  addItem(menu, "Crop", "crop:", QKeySequence(QStringLiteral("Ctrl+Shift+K")));
  addItem(menu, "Cut", "cut:", QKeySequence::Cut);
  addItem(menu, "Copy", "copy:", QKeySequence::Copy);
  addItem(menu, "Paste", "paste:", QKeySequence::Paste);
  addItem(menu, "Delete", "delete:");
}

// The document window's zoom: twice as large, half as large, one image
// pixel per screen pixel, the whole canvas in the window.
void fillViewMenu(QMenu* menu) {
  addItem(menu, "Zoom In", "zoom2x:", QKeySequence::ZoomIn);
  addItem(menu, "Zoom Out", "unZoom2x:", QKeySequence::ZoomOut);
  addItem(menu, "Actual Size", "adjustZoomToRealSize:", QKeySequence(QStringLiteral("Ctrl+1")));
  addItem(menu, "Zoom to Fit",
          "adjustZoomFordocumentToFitVisibleRect:", QKeySequence(QStringLiteral("Ctrl+0")));
  addItem(menu, "Fit Window to Image",
          "adjustWindowForMaximumVisibleRect:", QKeySequence(QStringLiteral("Ctrl+Alt+0")));
  menu->addSeparator();
  addItem(menu, "Show or Hide Filters", "hideFilters:", QKeySequence(QStringLiteral("Ctrl+Alt+F")));
  addItem(menu, "Full Screen", "toggleFullScreen:", QKeySequence(QStringLiteral("F11")));
}

// The document window's layer commands (the window sends them to its
// layers panel).
void fillLayerMenu(QMenu* menu) {
  addItem(menu, "New Layer", "addNewLayer:", QKeySequence(QStringLiteral("Ctrl+Shift+N")));
  addItem(menu, "Delete Layer", "deleteLayers:");
  addItem(menu, "Merge Layers", "merge:", QKeySequence(QStringLiteral("Ctrl+E")));
  addItem(menu, "Fill", "fill:");
  menu->addSeparator();
  addItem(menu, "Show or Hide Layers", "toggleLayers:", QKeySequence(QStringLiteral("Ctrl+Alt+L")));
  menu->addSeparator();
  addItem(menu, "Add Picture…",
          "addImageWithImagePicker:", QKeySequence(QStringLiteral("Ctrl+Shift+I")));
  addItem(menu, "Move Layers Up", "selectedLayersUp:", QKeySequence(QStringLiteral("Alt+Up")));
  addItem(menu, "Move Layers Down",
          "selectedLayersDown:", QKeySequence(QStringLiteral("Alt+Down")));
  addItem(menu, "Move Layers Left",
          "selectedLayersLeft:", QKeySequence(QStringLiteral("Alt+Left")));
  addItem(menu, "Move Layers Right",
          "selectedLayersRight:", QKeySequence(QStringLiteral("Alt+Right")));
  addItem(menu, "Image Size…", "resizeDocumentPanel:");
}

void fillHelpMenu(QMenu* menu) {
  addItem(menu, "Tessaly Help", "loadHelp:", QKeySequence(QStringLiteral("F1")));
  addItem(menu, "Video Tutorials", "goToScreencastSite:");
  addItem(menu, "Tessaly Web Site", "goToWebSite:");
  menu->addSeparator();
  addItem(menu, "Acknowledgments", "acknowledgments:");
}

}  // namespace

void IMMainMenu::fill(QMenuBar* bar, ui::DocumentController* documentController) {
  fillFileMenu(bar->addMenu(fnd::localized("&File")), documentController);
  fillEditMenu(bar->addMenu(fnd::localized("&Edit")));
  fillViewMenu(bar->addMenu(fnd::localized("&View")));
  fillLayerMenu(bar->addMenu(fnd::localized("&Layer")));
  fillHelpMenu(bar->addMenu(fnd::localized("&Help")));
}

void IMMainMenu::installIn(ui::Window* window, ui::DocumentController* documentController) {
  if (isInstalledIn(window)) return;
  window->setProperty(kInstalled, true);
  fill(window->menuBar(), documentController);
  if (auto* app = ui::Application::existingApplication()) app->setNeedsValidation();
}

bool IMMainMenu::isInstalledIn(const ui::Window* window) {
  return window->property(kInstalled).toBool();
}
