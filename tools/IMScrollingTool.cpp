#include "tools/IMScrollingTool.h"

#include "appkit/Cursor.h"
#include "tools/IMToolImages.h"
#include "tools/IMToolsController.h"
#include "window/IMWindowController.h"

bool IMScrollingTool::isUsable() {
  IMWindowController* window = toolsController() ? toolsController()->windowController() : nullptr;
  return window && !window->documentFitIntoVisibleRect();
}

gfx::ImagePtr IMScrollingTool::logo() const { return IMToolImages::imageNamed("grabTemplate"); }

QCursor IMScrollingTool::cursorWithModifierFlags(unsigned) const {
  return isInUse() ? ui::Cursor::closedHandCursor() : ui::Cursor::openHandCursor();
}
