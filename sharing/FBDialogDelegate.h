// What a web dialog of the service tells its delegate. Each call is
// optional: the dialog sends only those the delegate names in respondsTo.
#pragma once

#include <QUrl>

#include "foundation/Error.h"

class FBDialog;

class FBDialogDelegate {
 public:
  enum Callback {
    DialogDidComplete,
    DialogDidNotComplete,
    DialogDidFailWithError,
    DialogCompleteWithUrl,
    DialogDidNotCompleteWithUrl,
  };

  virtual ~FBDialogDelegate() = default;
  virtual bool respondsTo(Callback callback) const = 0;

  virtual void dialogDidComplete(FBDialog*) {}
  virtual void dialogDidNotComplete(FBDialog*) {}
  virtual void dialogDidFailWithError(FBDialog*, const fnd::Error&) {}
  virtual void dialogCompleteWithUrl(const QUrl&) {}
  virtual void dialogDidNotCompleteWithUrl(const QUrl&) {}
};
