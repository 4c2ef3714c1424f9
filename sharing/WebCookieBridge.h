// The web engine's profile of the program's dialogs, its cookies kept equal
// to the application's cookie store both ways: a login made in the web view
// is sent by the next request, and cookies a reply set show in the web view.
#pragma once

class QWebEngineProfile;

class WebCookieBridge {
 public:
  // Made on first use, memory only: the application's store is the one
  // that holds the cookies.
  static QWebEngineProfile* sharedProfile();
};
