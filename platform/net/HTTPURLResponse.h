// What a server answered before its body: the status, its text and the
// header fields.
#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <QUrl>

namespace net {

class HTTPURLResponse {
 public:
  HTTPURLResponse() = default;
  HTTPURLResponse(QUrl url, int statusCode, QString statusText,
                  QList<QPair<QByteArray, QByteArray>> headers);

  QUrl URL() const { return url_; }
  int statusCode() const { return statusCode_; }
  // The reason phrase the server sent ("Not Found").
  QString statusText() const { return statusText_; }
  QList<QPair<QByteArray, QByteArray>> allHeaderFields() const { return headers_; }
  QByteArray valueForHTTPHeaderField(const QByteArray& field) const;
  // The media type of the body without parameters, lower case.
  QString MIMEType() const;
  // -1 when the server did not say.
  qint64 expectedContentLength() const;

 private:
  QUrl url_;
  int statusCode_ = 0;
  QString statusText_;
  QList<QPair<QByteArray, QByteArray>> headers_;
};

}  // namespace net
