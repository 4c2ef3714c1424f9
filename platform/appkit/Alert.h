// An alert as the program builds it: style, message, informative text and
// buttons, run application-modal or as a sheet on a window. It runs through
// the shared ModalServices, so tests answer it without a window.
#pragma once

#include "appkit/ModalServices.h"

namespace ui {

// Answers of an alert made with alertWithMessageText.
enum LegacyAlertReturn : long {
  AlertDefaultReturn = 1,
  AlertAlternateReturn = 0,
  AlertOtherReturn = -1,
};

class Alert {
 public:
  Alert() = default;

  // Message and informative text from the error; one "OK" button.
  static Alert alertWithError(const fnd::Error& error);
  // The older form: an empty title leaves its button out, except the
  // default one, which becomes "OK". Its answers are AlertDefaultReturn,
  // AlertAlternateReturn and AlertOtherReturn, by button.
  static Alert alertWithMessageText(const QString& messageText, const QString& defaultButton,
                                    const QString& alternateButton, const QString& otherButton,
                                    const QString& informativeText);

  AlertStyle alertStyle() const { return request_.style; }
  void setAlertStyle(AlertStyle style) { request_.style = style; }
  QString messageText() const { return request_.messageText; }
  void setMessageText(const QString& text) { request_.messageText = text; }
  QString informativeText() const { return request_.informativeText; }
  void setInformativeText(const QString& text) { request_.informativeText = text; }
  QStringList buttons() const { return request_.buttons; }
  void addButtonWithTitle(const QString& title) { request_.buttons.append(title); }
  // The button, by position, that Escape presses (as the alert's "Cancel"
  // otherwise does).
  void setEscapeButton(int position) { request_.escapeButton = position; }
  const AlertRequest& request() const { return request_; }

  // AlertFirstButtonReturn + the pressed button's position.
  long runModal(QWidget* parent = nullptr) const;
  void beginSheetModalForWindow(QWidget* window, std::function<void(long)> completion) const;

 private:
  long translated(long response) const;

  AlertRequest request_;
  // Per button, the answer of an alert made with alertWithMessageText.
  QList<long> legacyReturns_;
};

}  // namespace ui
