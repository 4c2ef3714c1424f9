#include "foundation/Error.h"

#include "foundation/Localized.h"

namespace fnd {

Error::Error(QString domain, int code, QVariantMap userInfo)
    : domain_(std::move(domain)), code_(code), userInfo_(std::move(userInfo)) {}

Error Error::withDescription(const QString& domain, int code, const QString& description) {
  return Error(domain, code, {{LocalizedDescriptionKey, description}});
}

QString Error::localizedDescription() const {
  QString text = userInfo_.value(LocalizedDescriptionKey).toString();
  if (!text.isEmpty()) return text;
  return localized("The operation couldn’t be completed. (%1 error %2.)").arg(domain_).arg(code_);
}

QString Error::localizedFailureReason() const {
  return userInfo_.value(LocalizedFailureReasonKey).toString();
}

QString Error::localizedRecoverySuggestion() const {
  return userInfo_.value(LocalizedRecoverySuggestionKey).toString();
}

Error Error::underlyingError() const {
  return userInfo_.value(UnderlyingErrorKey).value<Error>();
}

QList<Error> Error::detailedErrors() const {
  QList<Error> errors;
  for (const QVariant& value : userInfo_.value(DetailedErrorsKey).toList())
    errors.append(value.value<Error>());
  return errors;
}

bool Error::operator==(const Error& other) const {
  return domain_ == other.domain_ && code_ == other.code_ && userInfo_ == other.userInfo_;
}

bool fail(Error* out, const Error& error) {
  if (out) *out = error;
  return false;
}

bool fail(Error* out, const QString& domain, int code, const QString& description) {
  return fail(out, Error::withDescription(domain, code, description));
}

}  // namespace fnd
