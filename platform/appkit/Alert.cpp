#include "appkit/Alert.h"

#include "foundation/Localized.h"

namespace ui {

Alert Alert::alertWithError(const fnd::Error& error) {
  Alert alert;
  alert.request_ = AlertRequest::fromError(error);
  return alert;
}

Alert Alert::alertWithMessageText(const QString& messageText, const QString& defaultButton,
                                  const QString& alternateButton, const QString& otherButton,
                                  const QString& informativeText) {
  Alert alert;
  alert.setMessageText(messageText);
  alert.setInformativeText(informativeText);
  alert.addButtonWithTitle(defaultButton.isEmpty() ? fnd::localized("OK") : defaultButton);
  alert.legacyReturns_ = {AlertDefaultReturn};
  if (!alternateButton.isEmpty()) {
    alert.addButtonWithTitle(alternateButton);
    alert.legacyReturns_.append(AlertAlternateReturn);
  }
  if (!otherButton.isEmpty()) {
    alert.addButtonWithTitle(otherButton);
    alert.legacyReturns_.append(AlertOtherReturn);
  }
  return alert;
}

long Alert::translated(long response) const {
  if (legacyReturns_.isEmpty()) return response;
  // Closing without a button reads as the alternate (cancelling) answer.
  return legacyReturns_.value(response - AlertFirstButtonReturn, AlertAlternateReturn);
}

long Alert::runModal(QWidget* parent) const {
  return translated(ModalServices::shared().runAlert(request_, parent));
}

void Alert::beginSheetModalForWindow(QWidget* window, std::function<void(long)> completion) const {
  ModalServices::shared().beginAlertSheet(
      request_, window, [this_ = *this, completion = std::move(completion)](long response) {
        completion(this_.translated(response));
      });
}

}  // namespace ui
