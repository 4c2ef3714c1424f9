#include "net/URLRequest.h"

namespace net {

URLRequest::URLRequest(QUrl url, URLRequestCachePolicy cachePolicy, double timeoutInterval)
    : url_(std::move(url)), cachePolicy_(cachePolicy), timeoutInterval_(timeoutInterval) {}

void URLRequest::setValue(const QByteArray& value, const QByteArray& field) {
  for (auto& header : headers_) {
    if (header.first.compare(field, Qt::CaseInsensitive) == 0) {
      header.second = value;
      return;
    }
  }
  headers_.append({field, value});
}

QByteArray URLRequest::valueForHTTPHeaderField(const QByteArray& field) const {
  for (const auto& header : headers_)
    if (header.first.compare(field, Qt::CaseInsensitive) == 0) return header.second;
  return {};
}

}  // namespace net
