// The rating question asked at termination.
#include <QDateTime>

#include "appkit/Alert.h"
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
  const long answer = alert.runModal();
  if (answer == ui::AlertFirstButtonReturn) goToAppStorePage();
  if (answer == ui::AlertFirstButtonReturn || answer == ui::AlertFirstButtonReturn + 1)
    defaults_.setBool(true, kGaveARating);
}
