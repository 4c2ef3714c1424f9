// What a document asks of its window controller while work it started runs
// on: the waiting sheet with a message, and hiding it again. The document
// cannot name the window's class, so it asks through this interface.
#pragma once

#include <QString>

class IMWaitingSheetPresenter {
 public:
  virtual ~IMWaitingSheetPresenter() = default;
  virtual void launchProgressBarIndicatorWindowWithMessage(const QString& message) = 0;
  virtual void hideProgressBarIndicatorWindow() = 0;
};
