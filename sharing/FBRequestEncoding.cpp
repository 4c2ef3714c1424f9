// How a request's parameters travel: the query string and the multipart
// body (RFC 2046 and 7578).
#include <QUrl>

#include "sharing/FBRequest.h"

namespace {

const QString kBoundary = QStringLiteral("3i2ndDfv2rTHiSisAbouNdArYfORhtTPEefj3q2f");

bool isFile(const QVariant& value) { return value.typeId() == QMetaType::QByteArray; }

}  // namespace

QString FBRequest::multipartBoundary() { return kBoundary; }

QString FBRequest::serializeURL(const QString& url, const QVariantMap& params,
                                const QString& httpMethod) {
  const QString prefix = QUrl(url).hasQuery() ? QStringLiteral("&") : QStringLiteral("?");
  QStringList pairs;
  for (auto it = params.cbegin(); it != params.cend(); ++it) {
    if (isFile(it.value())) {
      if (httpMethod == QLatin1String("GET")) qWarning("can not use GET to upload a file");
      continue;
    }
    // Everything but letters, digits and "-._~" is escaped, reserved
    // characters included, so a value can never end its pair early.
    const QByteArray escaped = QUrl::toPercentEncoding(it.value().toString());
    pairs.append(it.key() + u'=' + QString::fromLatin1(escaped));
  }
  return url + prefix + pairs.join(u'&');
}

void FBRequest::utfAppendBody(QByteArray& body, const QString& string) { body += string.toUtf8(); }

// Every part is named; a file part also carries its file name (the
// parameter's name), and the body ends with the closing delimiter.
QByteArray FBRequest::generatePostBody() const {
  QByteArray body;
  const QString partEnd = QStringLiteral("\r\n--%1\r\n").arg(kBoundary);
  QStringList files;
  QStringList parts;
  for (auto it = params_.cbegin(); it != params_.cend(); ++it)
    (isFile(it.value()) ? files : parts).append(it.key());
  const int count = int(parts.size() + files.size());
  if (count == 0) {
    utfAppendBody(body, QStringLiteral("--%1--\r\n").arg(kBoundary));
    return body;
  }
  utfAppendBody(body, QStringLiteral("--%1\r\n").arg(kBoundary));
  int written = 0;
  const auto endPart = [&] {
    if (++written < count)
      utfAppendBody(body, partEnd);
    else
      utfAppendBody(body, QStringLiteral("\r\n--%1--\r\n").arg(kBoundary));
  };
  for (const QString& key : parts) {
    utfAppendBody(body,
                  QStringLiteral("Content-Disposition: form-data; name=\"%1\"\r\n\r\n").arg(key));
    utfAppendBody(body, params_.value(key).toString());
    endPart();
  }
  for (const QString& key : files) {
    utfAppendBody(body,
                  QStringLiteral("Content-Disposition: form-data; name=\"%1\"; filename=\"%1\"\r\n")
                      .arg(key));
    utfAppendBody(body, QStringLiteral("Content-Type: content/unknown\r\n\r\n"));
    body += params_.value(key).toByteArray();
    endPart();
  }
  return body;
}
