// Restorable window state: each document's window controllers encode their
// state with the keyed archiver into a file of their own under the user's
// state folder ($XDG_STATE_HOME/Tessaly, else ~/.local/state/Tessaly), named
// after the document's file, and read it back when the document reopens.
#pragma once

#include <QString>
#include <QUrl>

#include "foundation/Error.h"

namespace ui {

class WindowController;

class RestorableState {
 public:
  // Made when missing.
  static QString stateFolder();
  // The state file of the index-th window controller of the document at `url`.
  static QString pathForDocument(const QUrl& url, int index);
  // Nothing for an untitled document; false with the error when writing failed.
  static bool write(WindowController& controller, fnd::Error* error = nullptr);
  // False when there was no state or it could not be read; the controller
  // then keeps its fresh state.
  static bool restore(WindowController& controller, fnd::Error* error = nullptr);
};

}  // namespace ui
