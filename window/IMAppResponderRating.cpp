// The rating question asked at termination.
#include <QDateTime>

#include "appkit/Alert.h"
#include "appkit/Application.h"
#include "foundation/Localized.h"
#include "foundation/UserDefaults.h"
#include "window/IMAppResponder.h"

namespace {

const QString kGaveARating = QStringLiteral("IMGaveARating");
const QString kQuestionDate = QStringLiteral("IMGiveARatingQuestionDate");
const QString kLaunchsNumber = QStringLiteral("IMLaunchsNumber");
constexpr qint64 kFirstLaunchAsked = 11;
constexpr qint64 kSecondsBetweenQuestions = 172800;

}  // namespace

void IMAppResponder::askForARatingIfTheTimeHasCome() {
  if (!defaults_.hasKey(kGaveARating)) defaults_.setBool(false, kGaveARating);
  // A signal or the session ending the program waits for nobody.
  auto* app = ui::Application::existingApplication();
  if (app && app->terminationReason() != ui::Application::TerminationReason::User) return;
  const QDateTime asked = defaults_.dateForKey(kQuestionDate);
  const QDateTime now = QDateTime::currentDateTimeUtc();
  if (defaults_.integerForKey(kLaunchsNumber) < kFirstLaunchAsked) return;
  if (defaults_.boolForKey(kGaveARating)) return;
  if (asked.isValid() && asked.addSecs(kSecondsBetweenQuestions) >= now) return;

  defaults_.setObject(now, kQuestionDate);
  ui::Alert alert;
  alert.setAlertStyle(ui::AlertStyle::Warning);
  alert.setMessageText(fnd::localized("You like Tessaly?"));
  alert.setInformativeText(fnd::localized(
      "If you like this software, please give a 5 stars rating and good comments in the Mac "
      "AppStore."));
  alert.addButtonWithTitle(fnd::localized("I want to give a rating"));
  alert.addButtonWithTitle(fnd::localized("Don't ask again"));
  alert.addButtonWithTitle(fnd::localized("Remind me later"));
  alert.setEscapeButton(2);
  const long answer = alert.runModal();
  if (answer == ui::AlertFirstButtonReturn) goToAppStorePage();
  if (answer == ui::AlertFirstButtonReturn || answer == ui::AlertFirstButtonReturn + 1)
    defaults_.setBool(true, kGaveARating);
}
