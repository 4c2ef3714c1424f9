// The social network's stand-in for the web dialog's tests, on the loopback
// server: the login page (a form), the callback page with the token after
// the form is sent, and the photo upload, which is answered with
// `uploadReply` only when it carries the token and the photo's parts.
#pragma once

#include <QString>

#include "LoopbackServer.h"

class SharingTestServer {
 public:
  static inline const QByteArray token = "tok-12345";

  SharingTestServer();
  QString base() const { return server.url(QStringLiteral("/")).toString(); }
  // What an upload that checks out gets.
  tst::ScriptedReply uploadReply;
  // The page the form leads to; the token callback unless changed.
  QByteArray callbackPage;
  int uploadsAccepted = 0;
  tst::LoopbackServer server;

 private:
  std::optional<tst::ScriptedReply> route(const tst::RecordedRequest& request);
};
