// The kinds of saving a document does, and the kinds of change that move
// its change count; both keep the platform's numbering.
#pragma once

namespace ui {

enum SaveOperationType {
  SaveOperation = 0,
  SaveAsOperation = 1,
  SaveToOperation = 2,
  AutosaveElsewhereOperation = 3,
  AutosaveInPlaceOperation = 4,
};

enum DocumentChangeType {
  ChangeDone = 0,
  ChangeUndone = 1,
  ChangeCleared = 2,
  ChangeReadOtherContents = 3,
  ChangeAutosaved = 4,
  ChangeRedone = 5,
};

// Whether the operation leaves the document at the written file.
inline bool savesInPlaceOrMoves(SaveOperationType op) {
  return op == SaveOperation || op == SaveAsOperation || op == AutosaveInPlaceOperation;
}

}  // namespace ui
