// What a social network request tells its delegate, all on the main thread.
// A delegate answers only the callbacks it names in respondsTo; the request
// sends no others, and a delegate that takes neither results nor errors is
// spared the reading of the reply.
#pragma once

#include <QByteArray>
#include <QVariant>

#include "foundation/Error.h"
#include "net/HTTPURLResponse.h"

class FBRequest;

class FBRequestDelegate {
 public:
  enum Callback {
    RequestLoading,
    RequestDidReceiveResponse,
    RequestDidFailWithError,
    RequestDidLoad,
    RequestDidLoadRawResponse,
  };

  virtual ~FBRequestDelegate() = default;
  virtual bool respondsTo(Callback callback) const = 0;

  virtual void requestLoading(FBRequest*) {}
  virtual void requestDidReceiveResponse(FBRequest*, const net::HTTPURLResponse&) {}
  virtual void requestDidFailWithError(FBRequest*, const fnd::Error&) {}
  // The reply read as JSON, or its raw bytes (a QByteArray) when it is not.
  virtual void requestDidLoad(FBRequest*, const QVariant&) {}
  virtual void requestDidLoadRawResponse(FBRequest*, const QByteArray&) {}
};
