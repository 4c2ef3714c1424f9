#include "SharingTestServer.h"

namespace {

tst::ScriptedReply html(const QByteArray& body) {
  return {200, "OK", {{"Content-Type", "text/html; charset=utf-8"}}, body, 0, -1};
}

const QByteArray kLoginPage =
    "<!DOCTYPE html><html><head><title>Log in to the loopback network</title>"
    "<link rel=\"icon\" href=\"data:,\"></head>"
    "<body style=\"font-family:sans-serif;background:#e9ebee\">"
    "<h2 style=\"color:#3b5998\">Loopback network</h2><p>Log in to post your image.</p>"
    "<form action=\"/login\" method=\"get\"><input name=\"email\" value=\"user@example.org\">"
    "<input type=\"password\" name=\"pass\" value=\"secret\">"
    "<input type=\"submit\" id=\"login\" value=\"Log In\"></form></body></html>";

}  // namespace

SharingTestServer::SharingTestServer()
    : uploadReply(html("{\"pid\":\"1234567\"}")),
      callbackPage(
          "<script type=\"text/javascript\">window.location.href=\"fbconnect:\\/\\/success#"
          "access_token=" +
          token + "&expires_in=3600\";</script>") {
  server.setRouter([this](const tst::RecordedRequest& request) { return route(request); });
}

std::optional<tst::ScriptedReply> SharingTestServer::route(const tst::RecordedRequest& request) {
  const QByteArray path = request.target.split('?').first();
  if (path == "/dialog/oauth") return html(kLoginPage);
  if (path == "/login") return html(callbackPage);
  if (path == "/method/photos.upload") {
    const bool valid = request.method == "POST" &&
                       request.target.contains("access_token=" + token) &&
                       request.body.contains("name=\"message\"\r\n\r\nposted image") &&
                       request.body.contains("name=\"picture\"; filename=\"picture\"") &&
                       request.body.contains("\x89PNG");
    if (!valid) return html("{\"error_code\":\"100\",\"error_msg\":\"bad upload\"}");
    ++uploadsAccepted;
    return uploadReply;
  }
  return tst::ScriptedReply{404, "Not Found", {}, {}, 0, -1};
}
