// Reading the service's reply: JSON results, and the service's ways of
// saying that a call failed.
#include <QStringDecoder>
#include <algorithm>
#include <cmath>

#include "sharing/DMDecimalNumber.h"
#include "sharing/DMJSON.h"
#include "sharing/FBRequest.h"

namespace {

const QString kErrorMessage = QStringLiteral("error_msg");

// The leading integer of a string ("190abc" gives 190, "abc" 0), as the
// service's codes were always read.
int leadingInteger(const QString& text) {
  const QString trimmed = text.trimmed();
  qsizetype end = 0;
  if (end < trimmed.size() && (trimmed[end] == u'-' || trimmed[end] == u'+')) ++end;
  while (end < trimmed.size() && trimmed[end].isDigit() && trimmed[end].unicode() < 0x80) ++end;
  return trimmed.left(end).toInt();
}

// A code that is neither a number nor a string gives the general code.
int errorCode(const QVariant& value) {
  if (value.metaType() == QMetaType::fromType<DMDecimalNumber>())
    return int(std::trunc(
        std::clamp(value.value<DMDecimalNumber>().doubleValue(), -2147483648.0, 2147483647.0)));
  if (value.typeId() == QMetaType::Bool) return value.toBool() ? 1 : 0;
  if (value.typeId() == QMetaType::QString) return leadingInteger(value.toString());
  return FBRequest::defaultErrorCode;
}

}  // namespace

fnd::Error FBRequest::formError(int code, const QVariantMap& userInfo) {
  return fnd::Error(FBErrorDomain, code, userInfo);
}

QVariant FBRequest::parseJsonResponse(const QByteArray& data, fnd::Error* error) const {
  QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
  QString text = decoder.decode(data);
  if (decoder.hasError()) text = QString();  // not UTF-8: read as no text at all
  if (text == QLatin1String("true")) return QVariantMap{{QStringLiteral("result"), "true"}};
  if (text == QLatin1String("false")) {
    if (error)
      *error = formError(defaultErrorCode,
                         {{kErrorMessage, QStringLiteral("This operation can not be completed")}});
    return {};
  }
  DMJSON json;
  const QVariant result = json.objectWithString(text);
  if (result.typeId() == QMetaType::QVariantList) return result;
  const QVariantMap object = result.toMap();
  if (object.contains(QStringLiteral("error"))) {
    if (error) *error = formError(defaultErrorCode, object);
    return {};
  }
  if (object.contains(QStringLiteral("error_code"))) {
    if (error) *error = formError(errorCode(object.value(QStringLiteral("error_code"))), object);
    return {};
  }
  if (object.contains(kErrorMessage) || object.contains(QStringLiteral("error_reason"))) {
    if (error) *error = formError(defaultErrorCode, object);
  }
  return result;
}
