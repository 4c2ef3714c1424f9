// What a URL connection tells its delegate, on the thread that started it.
// Exactly one of didFinishLoading and didFailWithError ends every started
// connection that is not cancelled.
#pragma once

#include <QByteArray>

#include "foundation/Error.h"
#include "net/HTTPURLResponse.h"

namespace net {

class URLConnection;

class URLConnectionDelegate {
 public:
  virtual ~URLConnectionDelegate() = default;
  virtual void connectionDidReceiveResponse(URLConnection* connection,
                                            const HTTPURLResponse& response) = 0;
  virtual void connectionDidReceiveData(URLConnection* connection, const QByteArray& data) = 0;
  virtual void connectionDidFinishLoading(URLConnection* connection) = 0;
  virtual void connectionDidFailWithError(URLConnection* connection, const fnd::Error& error) = 0;
};

}  // namespace net
