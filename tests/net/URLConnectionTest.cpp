// Connections against the loopback server: what is sent, how answers,
// error statuses, transport failures and the idle time-out are reported.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <memory>

#include "LoopbackServer.h"
#include "TestSupport.h"
#include "net/HTTPCookieStorage.h"
#include "net/URLConnection.h"
#include "net/URLError.h"

namespace {

// Every callback as one line, in order.
class Recorder : public net::URLConnectionDelegate {
 public:
  void connectionDidReceiveResponse(net::URLConnection*, const net::HTTPURLResponse& r) override {
    events.append(QStringLiteral("response %1 %2").arg(r.statusCode()).arg(r.statusText()));
    response = r;
  }
  void connectionDidReceiveData(net::URLConnection*, const QByteArray& data) override {
    body += data;
  }
  void connectionDidFinishLoading(net::URLConnection*) override {
    events.append("finished");
    ended = true;
  }
  void connectionDidFailWithError(net::URLConnection*, const fnd::Error& e) override {
    events.append(QStringLiteral("failed %1").arg(e.code()));
    error = e;
    ended = true;
  }
  QStringList events;
  net::HTTPURLResponse response;
  QByteArray body;
  fnd::Error error;
  bool ended = false;
};

std::string joined(const QStringList& lines) { return lines.join(" | ").toStdString(); }

}  // namespace

TEST(URLConnection, ReportsAnswersAndFailures) {
  tst::ScriptedReply ok{200, "OK", {{"Content-Type", "text/plain"}}, "hello", 0, -1};
  tst::ScriptedReply html{
      500, "Internal Server Error", {{"Content-Type", "text/html"}}, "<html>broken</html>", 0, -1};
  tst::ScriptedReply notFound{404, "Not Found", {}, "{\"error\":1}", 0, -1};
  tst::ScriptedReply badRequest{400, "Bad Request", {}, "bad", 0, -1};
  tst::ScriptedReply unavailable{503, "Service Unavailable", {}, "later", 0, -1};
  tst::ScriptedReply dropped{200, "OK", {}, QByteArray(1000, 'x'), 0, 100};
  tst::ScriptedReply stalled{200, "OK", {}, "late", 3000, -1};
  struct Case {
    const char* name;
    tst::ScriptedReply reply;
    double timeout;
    const char* events;
    QByteArray body;
  };
  const Case cases[] = {
      {"ok", ok, 60, "response 200 OK | finished", "hello"},
      {"500 page", html, 60, "response 500 Internal Server Error | finished", html.body},
      {"404", notFound, 60, "response 404 Not Found | finished", notFound.body},
      {"400", badRequest, 60, "response 400 Bad Request | finished", badRequest.body},
      {"503", unavailable, 60, "response 503 Service Unavailable | finished", unavailable.body},
      {"dropped", dropped, 60, "response 200 OK | failed -1005", QByteArray(40, 'x')},
      {"idle", stalled, 0.1, "failed -1001", {}},
  };
  for (const Case& c : cases) {
    tst::LoopbackServer server;
    server.addReply(c.reply);
    Recorder recorder;
    net::URLRequest request(server.url("/path?q=1"),
                            net::URLRequestCachePolicy::ReloadIgnoringLocalCacheData, c.timeout);
    QElapsedTimer clock;
    clock.start();
    net::URLConnection connection(request, &recorder);
    ASSERT_TRUE(tst::spinUntil([&] { return recorder.ended; })) << c.name;
    EXPECT_EQ(joined(recorder.events), c.events) << c.name;
    EXPECT_EQ(recorder.body, c.body) << c.name;
    EXPECT_EQ(recorder.error.domain(), recorder.error.isNull() ? "" : "NSURLErrorDomain");
    EXPECT_LT(clock.elapsed(), 2000) << c.name;
    ASSERT_EQ(server.requests().size(), 1) << c.name;
    EXPECT_EQ(server.requests()[0].target, "/path?q=1");
    EXPECT_EQ(server.requests()[0].method, "GET");
  }
}

TEST(URLConnection, SendsMethodHeadersAndBody) {
  tst::LoopbackServer server;
  server.addReply({});
  Recorder recorder;
  net::URLRequest request(server.url("/upload"));
  request.setHTTPMethod("POST");
  request.setValue("FacebookConnect", "User-Agent");
  request.setValue("application/octet-stream", "Content-Type");
  request.setHTTPBody(QByteArray("a\0b\r\n", 5));
  net::URLConnection connection(request, &recorder);
  ASSERT_TRUE(tst::spinUntil([&] { return recorder.ended; }));
  const tst::RecordedRequest& sent = server.requests().value(0);
  EXPECT_EQ(sent.method, "POST");
  EXPECT_EQ(sent.header("User-Agent"), "FacebookConnect");
  EXPECT_EQ(sent.header("Content-Type"), "application/octet-stream");
  EXPECT_EQ(sent.body, QByteArray("a\0b\r\n", 5));
  EXPECT_TRUE(sent.raw.startsWith("POST /upload HTTP/1.1\r\n"));
}

TEST(URLConnection, FailsLaterNeverInsideStart) {
  quint16 closedPort = 0;
  {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    closedPort = probe.serverPort();
  }
  const struct {
    QUrl url;
    int code;
  } cases[] = {
      {QUrl(QStringLiteral("http://127.0.0.1:%1/").arg(closedPort)),
       net::URLErrorCannotConnectToHost},
      {QUrl("not a url"), net::URLErrorBadURL},
      {QUrl("ftp://127.0.0.1/file"), net::URLErrorUnsupportedURL},
  };
  for (const auto& c : cases) {
    Recorder recorder;
    net::URLConnection connection(net::URLRequest(c.url), &recorder);
    EXPECT_TRUE(recorder.events.isEmpty());
    ASSERT_TRUE(tst::spinUntil([&] { return recorder.ended; })) << c.url.toString().toStdString();
    EXPECT_EQ(joined(recorder.events), QStringLiteral("failed %1").arg(c.code).toStdString());
  }
}

TEST(URLConnection, CancelledOrDestroyedTellsNothing) {
  tst::LoopbackServer server;
  server.addReply({200, "OK", {}, "late", 200, -1});
  Recorder recorder;
  auto connection = std::make_unique<net::URLConnection>(net::URLRequest(server.url()), &recorder);
  ASSERT_TRUE(tst::spinUntil([&] { return server.requests().size() == 1; }));
  connection.reset();
  tst::spinUntil([] { return false; }, 400);
  EXPECT_TRUE(recorder.events.isEmpty());
}

TEST(HTTPCookieStorage, IsSharedByEveryConnection) {
  tst::LoopbackServer server;
  server.addReply({200, "OK", {{"Set-Cookie", "session=abc; Path=/"}}, {}, 0, -1});
  server.addReply({});
  for (int i = 0; i < 2; ++i) {
    Recorder recorder;
    net::URLConnection connection(net::URLRequest(server.url("/")), &recorder);
    ASSERT_TRUE(tst::spinUntil([&] { return recorder.ended; }));
  }
  EXPECT_EQ(server.requests().value(1).header("Cookie"), "session=abc");
  auto* store = net::HTTPCookieStorage::sharedHTTPCookieStorage();
  const auto cookies = store->cookiesForURL(server.url("/"));
  ASSERT_EQ(cookies.size(), 1);
  EXPECT_EQ(cookies[0].value(), "abc");
  store->deleteCookie(cookies[0]);
  EXPECT_TRUE(store->cookiesForURL(server.url("/")).isEmpty());
}
