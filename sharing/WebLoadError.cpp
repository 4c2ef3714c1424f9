#include "sharing/WebLoadError.h"

#include "net/URLError.h"
#include "sharing/FBDialog.h"

namespace {

// The engine's network error numbers.
net::URLErrorCode urlErrorCode(int engineCode) {
  switch (engineCode) {
    case -3:  // aborted, as a newer load replaces the page
      return net::URLErrorCancelled;
    case -7:
    case -118:
      return net::URLErrorTimedOut;
    case -100:
    case -101:
    case -103:
      return net::URLErrorNetworkConnectionLost;
    case -102:
    case -104:
      return net::URLErrorCannotConnectToHost;
    case -105:
    case -137:
      return net::URLErrorCannotFindHost;
    case -106:
      return net::URLErrorNotConnectedToInternet;
    default:
      return engineCode <= -200 && engineCode > -300 ? net::URLErrorSecureConnectionFailed
                                                     : net::URLErrorUnknown;
  }
}

// Blocked, or a scheme the engine does not go to ("fbconnect:").
bool refusedByPolicy(int engineCode) {
  return engineCode == -20 || engineCode == -27 || engineCode == -301 || engineCode == -302;
}

}  // namespace

fnd::Error webLoadError(const QWebEngineLoadingInfo& info) {
  const int code = info.errorCode();
  if (refusedByPolicy(code))
    return fnd::Error(WebKitErrorDomain, WebKitErrorFrameLoadInterruptedByPolicyChange);
  // A page with an error status is still a page, shown and read as any.
  if (info.errorDomain() == QWebEngineLoadingInfo::HttpErrorDomain && code > 0)
    return fnd::Error(WebKitErrorDomain, WebKitErrorFrameLoadInterruptedByPolicyChange);
  if (code <= -300 && code > -400) return net::urlError(net::URLErrorBadURL, info.url());
  return net::urlError(urlErrorCode(code), info.url());
}
