// A URL connection: loads one request over the shared network access
// manager and reports the response, the body as it arrives and the end to
// its delegate. Replies with error statuses are answers like any other, their
// bodies delivered as data; only transport failures (refused, lost, idle
// too long) are errors, and they are always reported from the event loop,
// never from inside start().
#pragma once

#include <QObject>
#include <QPointer>
#include <QTimer>

#include "net/URLConnectionDelegate.h"
#include "net/URLRequest.h"

class QNetworkReply;

namespace net {

class URLConnection : public QObject {
 public:
  // The delegate is not owned and must outlive the connection or cancel it.
  URLConnection(const URLRequest& request, URLConnectionDelegate* delegate,
                bool startImmediately = true);
  // Cancels a load in progress; the delegate is told nothing more.
  ~URLConnection() override;

  void start();
  void cancel();
  const URLRequest& originalRequest() const { return request_; }

 private:
  void deliverResponse();
  void readBody();
  void finish();
  void idleTimedOut();
  void fail(const fnd::Error& error);
  void detachReply();

  URLRequest request_;
  URLConnectionDelegate* delegate_;
  QPointer<QNetworkReply> reply_;
  QTimer idleTimer_;
  bool started_ = false;
  bool responseDelivered_ = false;
  bool ended_ = false;
};

}  // namespace net
