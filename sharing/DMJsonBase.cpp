#include "sharing/DMJsonBase.h"

namespace {
const QString kErrorTrace = QStringLiteral("errorTrace");
}

void DMJsonBase::addErrorWithCode(unsigned code, const QString& description) {
  QVariantMap userInfo{{fnd::LocalizedDescriptionKey, description}};
  if (!errorTrace_.isEmpty())
    userInfo.insert(fnd::UnderlyingErrorKey, QVariant::fromValue(errorTrace_.last()));
  willChangeValueForKey(kErrorTrace);
  errorTrace_.append(fnd::Error(DMJsonErrorDomain, int(code), userInfo));
  didChangeValueForKey(kErrorTrace);
}

void DMJsonBase::clearErrorTrace() {
  willChangeValueForKey(kErrorTrace);
  errorTrace_.clear();
  didChangeValueForKey(kErrorTrace);
}

QVariant DMJsonBase::valueForKey(const QString& key) const {
  if (key != kErrorTrace) return Observable::valueForKey(key);
  if (errorTrace_.isEmpty()) return {};
  QVariantList trace;
  for (const fnd::Error& error : errorTrace_) trace.append(QVariant::fromValue(error));
  return trace;
}

bool DMJsonBase::enterNesting() {
  ++depth_;
  if ((maxDepth_ != 0 && depth_ > maxDepth_) || depth_ > hardDepthLimit) {
    addErrorWithCode(7, QStringLiteral("Nested too deep"));
    return false;
  }
  return true;
}
