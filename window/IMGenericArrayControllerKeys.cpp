// Keys of a list: Delete removes the selected rows unless a modifier is held
// or the canvas has a selection of its own; every other key is the canvas's.
#include "appkit/Event.h"
#include "appkit/core/Beep.h"
#include "window/IMGenericArrayController.h"
#include "window/IMListPanelWindow.h"
#include "window/IMTableView.h"

namespace {

bool isPlainDelete(const ui::Event& event) {
  const QString characters = event.charactersIgnoringModifiers();
  const unsigned held =
      ui::ShiftKeyMask | ui::ControlKeyMask | ui::AlternateKeyMask | ui::CommandKeyMask;
  return !characters.isEmpty() && characters.at(0) == QChar(ui::DeleteCharacter) &&
         !(event.modifierFlags() & held);
}

}  // namespace

void IMGenericArrayController::tableViewKeyDown(IMTableView*, ui::Event& event, long row) {
  const bool canvasSelection = windowController_ && windowController_->toolsHaveSelection();
  if (isPlainDelete(event) && !canvasSelection) {
    if (row == -1)
      ui::beep();
    else
      remove(nullptr);
    return;
  }
  if (ui::Responder* canvas = mainView()) canvas->keyDown(event);
}

void IMGenericArrayController::tableViewFlagsChanged(IMTableView*, ui::Event& event) {
  if (ui::Responder* canvas = mainView()) canvas->flagsChanged(event);
}
