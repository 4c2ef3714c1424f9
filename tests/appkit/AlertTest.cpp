#include <gtest/gtest.h>

#include <QWidget>

#include "appkit/Alert.h"
#include "appkit/ScriptedModalServices.h"
#include "foundation/Error.h"

namespace {

TEST(Alert, OlderFormAnswersByButtonWhicheverButtonsItHas) {
  struct Case {
    QString defaultButton, alternateButton, otherButton;
    QStringList shownButtons;
    QString pressed;
    long expected;
  };
  const Case cases[] = {
      {"Cancel", "Save As…", "", {"Cancel", "Save As…"}, "Save As…", ui::AlertAlternateReturn},
      {"Cancel", "Save As…", "", {"Cancel", "Save As…"}, "Cancel", ui::AlertDefaultReturn},
      {"", "", "", {"OK"}, "OK", ui::AlertDefaultReturn},
      // No alternate: the other button is second on screen, still "other".
      {"Keep", "", "Delete", {"Keep", "Delete"}, "Delete", ui::AlertOtherReturn},
      {"A", "B", "C", {"A", "B", "C"}, "C", ui::AlertOtherReturn},
  };
  for (const Case& c : cases) {
    ui::ScriptedModalServices scripted;
    scripted.answerAlertWithButton(c.pressed);
    ui::Alert alert = ui::Alert::alertWithMessageText("Moving", c.defaultButton, c.alternateButton,
                                                      c.otherButton, "info");
    EXPECT_EQ(alert.runModal(), c.expected) << c.pressed.toStdString();
    ASSERT_EQ(scripted.shown().size(), 1);
    EXPECT_EQ(scripted.shown()[0].alert.buttons, c.shownButtons);
  }
}

TEST(Alert, NewerFormAndErrorsAnswerWithButtonPositions) {
  ui::ScriptedModalServices scripted;
  ui::Alert rating;
  rating.setAlertStyle(ui::AlertStyle::Warning);
  rating.setMessageText("You like Tessaly?");
  for (const char* title : {"I want to give a rating", "Don't ask again", "Remind me later"})
    rating.addButtonWithTitle(title);
  scripted.answerAlertWithButton("Remind me later");
  EXPECT_EQ(rating.runModal(), ui::AlertThirdButtonReturn);

  fnd::Error error(fnd::CocoaErrorDomain, fnd::FileReadCorruptFileError,
                   {{fnd::LocalizedDescriptionKey, "The file could not be opened."},
                    {fnd::LocalizedFailureReasonKey, "It has no root object."}});
  QWidget window;
  long answer = 0;
  scripted.answerAlertWithButton("OK");
  ui::Alert::alertWithError(error).beginSheetModalForWindow(&window, [&](long r) { answer = r; });
  EXPECT_EQ(answer, ui::AlertFirstButtonReturn);
  ASSERT_EQ(scripted.shown().size(), 2);
  EXPECT_EQ(scripted.shown()[1].alert.messageText, "The file could not be opened.");
  EXPECT_EQ(scripted.shown()[1].alert.informativeText, "It has no root object.");
  EXPECT_EQ(scripted.shown()[1].window, &window);
}

}  // namespace
