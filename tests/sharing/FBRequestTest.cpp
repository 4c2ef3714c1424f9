// Social network requests: the query string, the multipart body, the
// reading of replies, and whole calls against the loopback server.
#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <QFile>
#include <QSet>

#include "LoopbackServer.h"
#include "TestSupport.h"
#include "sharing/DMDecimalNumber.h"
#include "sharing/DMJSON.h"
#include "sharing/FBRequest.h"

namespace {

using Callback = FBRequestDelegate::Callback;

class Recorder : public FBRequestDelegate {
 public:
  explicit Recorder(QSet<Callback> answers = {RequestLoading, RequestDidReceiveResponse,
                                              RequestDidFailWithError, RequestDidLoad,
                                              RequestDidLoadRawResponse})
      : answers_(answers) {}
  bool respondsTo(Callback callback) const override { return answers_.contains(callback); }
  void requestLoading(FBRequest*) override { events.append("loading"); }
  void requestDidReceiveResponse(FBRequest*, const net::HTTPURLResponse& r) override {
    events.append(QStringLiteral("response %1").arg(r.statusCode()));
  }
  void requestDidFailWithError(FBRequest*, const fnd::Error& e) override {
    events.append(QStringLiteral("failed %1 %2").arg(e.domain()).arg(e.code()));
    error = e;
    ended = true;
  }
  void requestDidLoad(FBRequest*, const QVariant& value) override {
    events.append("loaded");
    result = value;
    ended = true;
  }
  void requestDidLoadRawResponse(FBRequest*, const QByteArray& data) override {
    events.append("raw");
    raw = data;
    if (!answers_.contains(RequestDidLoad)) ended = true;
  }
  QStringList events;
  fnd::Error error;
  QVariant result;
  QByteArray raw;
  bool ended = false;

 private:
  QSet<Callback> answers_;
};

std::string joined(const QStringList& lines) { return lines.join(" | ").toStdString(); }

QString compact(const QVariant& value) {
  DMJSON json;
  json.setSortKeys(true);
  return json.stringWithFragment(value, nullptr);
}

const QByteArray kBoundary = "3i2ndDfv2rTHiSisAbouNdArYfORhtTPEefj3q2f";

}  // namespace

TEST(FBRequest, SerialisesParametersIntoTheQuery) {
  struct Case {
    const char* url;
    QVariantMap params;
    const char* method;
    const char* expected;
  };
  const Case cases[] = {
      {"https://api.example/m",
       {{"v", "a b&c"}, {"w", QString::fromUtf8("é")}},
       "GET",
       "https://api.example/m?v=a%20b%26c&w=%C3%A9"},
      {"https://api.example/m?x=1",
       {{"v", "!*'();:@&=+$,/?%#[]-._~"}},
       "GET",
       "https://api.example/m?x=1&v=%21%2A%27%28%29%3B%3A%40%26%3D%2B%24%2C%2F%3F%25%23%5B%5D-._~"},
      {"https://api.example/m", {}, "GET", "https://api.example/m?"},
      {"https://api.example/m",
       {{"message", "hi"}, {"picture", QByteArray("PNG")}},
       "POST",
       "https://api.example/m?message=hi"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(FBRequest::serializeURL(c.url, c.params, c.method).toStdString(), c.expected);

  static QStringList logged;
  const auto previous = qInstallMessageHandler(
      [](QtMsgType, const QMessageLogContext&, const QString& text) { logged.append(text); });
  EXPECT_EQ(FBRequest::serializeURL("https://a/m", {{"file", QByteArray("x")}, {"k", "v"}}),
            "https://a/m?k=v");
  qInstallMessageHandler(previous);
  EXPECT_EQ(logged, QStringList{"can not use GET to upload a file"});
}

TEST(FBRequest, ReadsTheServicesReplies) {
  struct Case {
    QByteArray reply;
    int code;            // 0: no error
    const char* result;  // the result written as JSON; nullptr: none
  };
  const Case cases[] = {
      {"true", 0, "{\"result\":\"true\"}"},
      {"false", 10000, nullptr},
      {"{\"error_code\": 190, \"error_msg\": \"x\"}", 190, nullptr},
      {"{\"error_code\": \"612\"}", 612, nullptr},
      {"{\"error_code\": 4.9}", 4, nullptr},
      {"{\"error_code\": [1]}", 10000, nullptr},
      {"{\"error_code\": null}", 10000, nullptr},
      {"{\"error\": {\"type\": \"OAuthException\"}}", 10000, nullptr},
      {"{\"error_msg\": \"x\"}", 10000, "{\"error_msg\":\"x\"}"},
      {"{\"error_reason\": \"y\"}", 10000, "{\"error_reason\":\"y\"}"},
      {"[{\"error\": 1}]", 0, "[{\"error\":1}]"},
      {"{\"id\": 12345678901234567890}", 0, "{\"id\":12345678901234567890}"},
      {"<html>hi</html>", 0, nullptr},
      {"", 0, nullptr},
      {"[\"\xff\"]", 0, nullptr},
  };
  auto request = FBRequest::getRequestWithParams({}, "GET", nullptr, "https://a/m");
  for (const Case& c : cases) {
    fnd::Error error;
    const QVariant result = request->parseJsonResponse(c.reply, &error);
    EXPECT_EQ(error.code(), c.code) << c.reply.toStdString();
    EXPECT_EQ(error.domain(), c.code ? "facebookErrDomain" : "");
    EXPECT_EQ(result.isValid(), c.result != nullptr) << c.reply.toStdString();
    if (c.result) {
      EXPECT_EQ(compact(result).toStdString(), c.result);
    }
  }
  fnd::Error error;
  request->parseJsonResponse("false", &error);
  EXPECT_EQ(error.userInfo(), QVariantMap({{"error_msg", "This operation can not be completed"}}));
}

TEST(FBRequest, WritesANamedMultipartBody) {
  auto request = FBRequest::getRequestWithParams({{"message", QString::fromUtf8("Café")},
                                                  {"picture", QByteArray("\x89PNG\r\n\0x", 8)},
                                                  {"access_token", "t"}},
                                                 "POST", nullptr, "https://a/m");
  const QByteArray b = kBoundary;
  const QByteArray expected =
      "--" + b + "\r\nContent-Disposition: form-data; name=\"access_token\"\r\n\r\nt\r\n--" + b +
      "\r\nContent-Disposition: form-data; name=\"message\"\r\n\r\nCaf\xc3\xa9\r\n--" + b +
      "\r\nContent-Disposition: form-data; name=\"picture\"; filename=\"picture\"\r\n"
      "Content-Type: content/unknown\r\n\r\n" +
      QByteArray("\x89PNG\r\n\0x", 8) + "\r\n--" + b + "--\r\n";
  EXPECT_EQ(request->generatePostBody(), expected);
  request->setParams({});
  EXPECT_EQ(request->generatePostBody(), "--" + b + "--\r\n");
}

TEST(FBRequest, CallsTheServiceAndReportsTheOutcome) {
  const tst::ScriptedReply json{200, "OK", {{"Content-Type", "text/javascript"}}, "{\"id\":\"42\"}",
                                0,   -1};
  const tst::ScriptedReply jsonError{200, "OK", {}, "{\"error_code\":190,\"error_msg\":\"x\"}",
                                     0,   -1};
  const tst::ScriptedReply status400{400, "Bad Request", {}, "{\"id\":\"1\"}", 0, -1};
  const tst::ScriptedReply html500{500,
                                   "Internal Server Error",
                                   {{"Content-Type", "text/html"}},
                                   "<html><body>down</body></html>",
                                   0,
                                   -1};
  const tst::ScriptedReply dropped{200, "OK", {}, QByteArray(500, 'x'), 0, 100};
  const tst::ScriptedReply stalled{200, "OK", {}, "true", 3000, -1};
  struct Case {
    const char* name;
    tst::ScriptedReply reply;
    double timeout;
    const char* events;
    QString message;
  };
  const Case cases[] = {
      {"result", json, 180, "loading | response 200 | raw | loaded", {}},
      {"json error",
       jsonError,
       180,
       "loading | response 200 | raw | failed facebookErrDomain 190",
       {}},
      {"400 with a body that parses", status400, 180,
       "loading | response 400 | raw | failed facebookErrDomain 10000", "Bad Request"},
      {"500 page", html500, 180, "loading | response 500 | raw | failed facebookErrDomain 10000",
       "Internal Server Error"},
      {"dropped", dropped, 180, "loading | response 200 | failed NSURLErrorDomain -1005", {}},
      {"idle", stalled, 0.1, "loading | failed NSURLErrorDomain -1001", {}},
  };
  for (const Case& c : cases) {
    tst::LoopbackServer server;
    server.addReply(c.reply);
    Recorder recorder;
    auto request = FBRequest::getRequestWithParams({{"v", "a b&c"}, {"format", "json"}}, "GET",
                                                   &recorder, server.url("/method/x").toString());
    request->setTimeoutInterval(c.timeout);
    EXPECT_FALSE(request->loading());
    request->connect();
    EXPECT_TRUE(request->loading());
    ASSERT_TRUE(tst::spinUntil([&] { return recorder.ended; }, 3000)) << c.name;
    EXPECT_EQ(joined(recorder.events), c.events) << c.name;
    EXPECT_FALSE(request->loading());
    EXPECT_TRUE(request->responseText().isNull());
    if (!c.message.isEmpty()) {
      EXPECT_EQ(recorder.error.localizedDescription(), c.message);
    }
    const tst::RecordedRequest sent = server.requests().value(0);
    EXPECT_EQ(sent.target, "/method/x?format=json&v=a%20b%26c") << c.name;
    EXPECT_EQ(sent.header("User-Agent"), "FacebookConnect");
  }
}

TEST(FBRequest, PostsAPhotoThatAMultipartParserAccepts) {
  tst::LoopbackServer server;
  server.addReply({200, "OK", {}, "{\"pid\":\"7\"}", 0, -1});
  QByteArray photo;
  for (int i = 0; i < 3000; ++i) photo += char(i * 7);
  Recorder recorder;
  auto request = FBRequest::getRequestWithParams(
      {{"message", QString::fromUtf8("Été")}, {"picture", photo}}, "POST", &recorder,
      server.url("/method/photos.upload").toString());
  request->connect();
  ASSERT_TRUE(tst::spinUntil([&] { return recorder.ended; }));
  EXPECT_EQ(compact(recorder.result), "{\"pid\":\"7\"}");
  const tst::RecordedRequest sent = server.requests().value(0);
  EXPECT_EQ(sent.method, "POST");
  EXPECT_EQ(sent.target, "/method/photos.upload?message=%C3%89t%C3%A9");
  EXPECT_EQ(sent.header("Content-Type"), "multipart/form-data; boundary=" + kBoundary);
  EXPECT_EQ(sent.body, request->generatePostBody());
  EXPECT_TRUE(sent.body.endsWith("\r\n--" + kBoundary + "--\r\n"));

  if (!tst::haveTool("python3")) GTEST_SKIP() << "python3 is not installed";
  const QString bodyPath = tst::tempPath("photo-upload.body");
  QFile file(bodyPath);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write("Content-Type: " + sent.header("Content-Type") + "\r\n\r\n" + sent.body);
  file.close();
  tst::saveArtifact(bodyPath, "photo-upload-multipart.txt");
  const QString script = QStringLiteral(
      "import email, email.policy, hashlib, sys\n"
      "m = email.message_from_bytes(open(sys.argv[1], 'rb').read(), policy=email.policy.HTTP)\n"
      "assert m.is_multipart() and not m.defects, m.defects\n"
      "for p in m.iter_parts():\n"
      "  assert not p.defects, p.defects\n"
      "  d = p.get_payload(decode=True)\n"
      "  print(p.get_param('name', header='content-disposition'), p.get_filename(),\n"
      "        p.get_content_type(), len(d), hashlib.sha1(d).hexdigest())\n");
  QString output;
  ASSERT_EQ(tst::runTool("python3", {"-c", script, bodyPath}, &output), 0) << output.toStdString();
  const QString sha =
      QString::fromLatin1(QCryptographicHash::hash(photo, QCryptographicHash::Sha1).toHex());
  const QString textSha = QString::fromLatin1(
      QCryptographicHash::hash(QString::fromUtf8("Été").toUtf8(), QCryptographicHash::Sha1)
          .toHex());
  EXPECT_EQ(output.trimmed().toStdString(),
            QStringLiteral("message None text/plain 5 %1\npicture picture content/unknown 3000 %2")
                .arg(textSha, sha)
                .toStdString());
}

TEST(FBRequest, TellsEachDelegateOnlyWhatItAnswers) {
  tst::LoopbackServer server;
  server.addReply({200, "OK", {}, "{\"error_msg\":\"x\"}", 0, -1});
  server.addReply({200, "OK", {}, "slow", 300, -1});
  server.addReply({200, "OK", {}, "slow", 300, -1});
  Recorder rawOnly({FBRequestDelegate::RequestDidLoadRawResponse});
  auto request = FBRequest::getRequestWithParams({}, "GET", &rawOnly, server.url("/").toString());
  request->connect();
  ASSERT_TRUE(tst::spinUntil([&] { return rawOnly.ended; }));
  tst::spinOnce();
  EXPECT_EQ(joined(rawOnly.events), "raw");
  EXPECT_EQ(rawOnly.raw, "{\"error_msg\":\"x\"}");

  Recorder all;
  request = FBRequest::getRequestWithParams({}, "GET", &all, server.url("/").toString());
  request->connect();
  request->connect();  // the first load is dropped, the second destroyed below
  ASSERT_TRUE(tst::spinUntil([&] { return server.requests().size() >= 2; }));
  request.reset();
  tst::spinUntil([] { return false; }, 500);
  EXPECT_EQ(joined(all.events), "loading | loading");
}
