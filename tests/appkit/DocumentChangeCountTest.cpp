// The edited mark follows the undo stack: a step marks the document, undo
// back to the saved state clears it and redo sets it again; a step taken
// below the saved state keeps it, an empty group never sets it, and a save
// in the same pass as a change leaves the document clean.
#include <gtest/gtest.h>

#include <QDir>

#include "TestSupport.h"
#include "TextDocument.h"
#include "appkit/ScriptedModalServices.h"

namespace {

struct Saved {
  apptest::TextDocument document;
  QString path = tst::tempPath("counted.txt");

  Saved() {
    document.initWithType(apptest::TextType, nullptr);
    document.undoManager();
  }
  void save() {
    bool done = false;
    document.saveToURL(QUrl::fromLocalFile(path), apptest::TextType, ui::SaveOperation,
                       [&](const fnd::Error* error) {
                         EXPECT_FALSE(error);
                         done = true;
                       });
    EXPECT_TRUE(done);
  }
  // One user event: the change, then the rest of the loop's pass.
  void step(const QString& text) {
    document.setText(text);
    tst::spinOnce();
  }
};

}  // namespace

TEST(DocumentChangeCount, EditedExactlyWhileTheContentDiffersFromTheSavedOne) {
  Saved s;
  fnd::UndoManager* undo = s.document.undoManager();
  s.step("a");
  s.save();
  ASSERT_FALSE(s.document.isDocumentEdited());
  struct Move {
    const char* what;
    std::function<void()> run;
    bool edited;
  };
  const Move moves[] = {
      {"step b", [&] { s.step("b"); }, true},
      {"undo to saved a", [&] { undo->undo(); }, false},
      {"undo below saved", [&] { undo->undo(); }, true},
      {"redo to saved a", [&] { undo->redo(); }, false},
      {"redo b", [&] { undo->redo(); }, true},
      {"undo twice", [&] { undo->undo(), undo->undo(); }, true},
      // The redo stack that led back to "a" is gone with this step.
      {"step c below saved", [&] { s.step("c"); }, true},
      {"undo c", [&] { undo->undo(); }, true},
      {"save", [&] { s.save(); }, false},
      // A group that closes empty (a click that changed nothing) is no step.
      {"empty group", [&] { undo->beginUndoGrouping(), undo->endUndoGrouping(); }, false},
      {"step d", [&] { s.step("d"); }, true},
  };
  for (const Move& move : moves) {
    move.run();
    EXPECT_EQ(s.document.isDocumentEdited(), move.edited) << move.what;
  }
}

// Saving before the loop ends the pass of a change: the step closes before
// the file is written, not after the document was marked clean.
TEST(DocumentChangeCount, SaveInThePassOfAChangeLeavesTheDocumentClean) {
  Saved s;
  s.document.setText("typed");
  s.save();
  EXPECT_FALSE(s.document.isDocumentEdited());
  tst::spinOnce();
  EXPECT_FALSE(s.document.isDocumentEdited()) << "the step closed after the save";
  EXPECT_EQ(apptest::readFile(s.path), "typed");
  s.document.undoManager()->undo();
  EXPECT_EQ(s.document.text(), "");
  EXPECT_TRUE(s.document.isDocumentEdited());
}
