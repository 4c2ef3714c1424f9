#include "net/HTTPURLResponse.h"

namespace net {

HTTPURLResponse::HTTPURLResponse(QUrl url, int statusCode, QString statusText,
                                 QList<QPair<QByteArray, QByteArray>> headers)
    : url_(std::move(url)),
      statusCode_(statusCode),
      statusText_(std::move(statusText)),
      headers_(std::move(headers)) {}

QByteArray HTTPURLResponse::valueForHTTPHeaderField(const QByteArray& field) const {
  for (const auto& header : headers_)
    if (header.first.compare(field, Qt::CaseInsensitive) == 0) return header.second;
  return {};
}

QString HTTPURLResponse::MIMEType() const {
  const QByteArray type = valueForHTTPHeaderField("Content-Type");
  return QString::fromLatin1(type.left(type.indexOf(';')).trimmed().toLower());
}

qint64 HTTPURLResponse::expectedContentLength() const {
  bool ok = false;
  const qint64 length = valueForHTTPHeaderField("Content-Length").trimmed().toLongLong(&ok);
  return ok ? length : -1;
}

}  // namespace net
