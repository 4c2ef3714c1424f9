// The session: the login dialog it opens, the parameters and token its
// requests carry, and the request it keeps.
#include <gtest/gtest.h>

#include "LoopbackServer.h"
#include "TestSupport.h"
#include "sharing/FBDialog.h"
#include "sharing/FBRequest.h"
#include "sharing/Facebook.h"

namespace {

struct RequestRecorder : FBRequestDelegate {
  bool respondsTo(Callback c) const override {
    return c == RequestDidLoad || c == RequestDidFailWithError;
  }
  void requestDidLoad(FBRequest*, const QVariant&) override { ++ends; }
  void requestDidFailWithError(FBRequest*, const fnd::Error&) override { ++ends; }
  int ends = 0;
};

class FacebookSessionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    FBEndpoints::setCurrent(FBEndpoints::underServer(server.url().toString()));
    // No web view in these tests: the dialog's interface does not load.
    FBDialog::setInterfaceLoader([](FBDialog*) { return nullptr; });
  }
  void TearDown() override {
    FBEndpoints::resetCurrent();
    FBDialog::setInterfaceLoader(nullptr);
  }
  tst::LoopbackServer server;
};

TEST_F(FacebookSessionTest, LoginDialogAsksForTheTokenWithExactlyTheLoginParameters) {
  auto session = Facebook::initWithAppId("42");
  session->authorize(std::nullopt, nullptr);
  ASSERT_NE(session->loginDialog(), nullptr);
  EXPECT_EQ(session->loginDialog()->params(), (QVariantMap{{"client_id", "42"},
                                                           {"type", "user_agent"},
                                                           {"redirect_uri", "fbconnect://success"},
                                                           {"display", "touch"},
                                                           {"sdk", "2"}}));
  EXPECT_EQ(session->loginDialog()->serverURL(), server.url("/dialog/oauth").toString());
  session->authorize(QStringList{"a", "b"}, nullptr);
  EXPECT_EQ(session->loginDialog()->params().value("scope"), "a,b");
}

TEST_F(FacebookSessionTest, RequestsCarryTheTokenOnlyWhileItIsValid) {
  const QDateTime now = QDateTime::currentDateTimeUtc();
  struct Case {
    const char* name;
    QDateTime expiry;
    bool sent;
  };
  for (const Case& c : QList<Case>{{"expires later", now.addSecs(1), true},
                                   {"expires now", now, false},
                                   {"expired", now.addSecs(-60), false},
                                   {"no expiry", QDateTime(), false}}) {
    SCOPED_TRACE(c.name);
    auto session = Facebook::initWithAppId("42");
    session->setClock([now] { return now; });
    session->setAccessToken("tok");
    session->setExpirationDate(c.expiry);
    RequestRecorder delegate;
    QVariantMap params{{"format", "xml"}, {"caption", "hi"}};
    server.addReply({200, "OK", {}, "{}", 0, -1});
    session->requestWithMethodName("photos.upload", params, "GET", &delegate);
    EXPECT_EQ(params.value("format"), "json");  // the caller's own map, changed in place
    EXPECT_EQ(params.value("sdk"), "ios");
    EXPECT_EQ(params.value("sdk_version"), "2");
    EXPECT_EQ(params.contains("access_token"), c.sent);
    ASSERT_TRUE(tst::spinUntil([&] { return delegate.ends == 1; }));
    const QByteArray target = server.requests().last().target;
    EXPECT_TRUE(target.startsWith("/method/photos.upload?")) << target.constData();
    EXPECT_EQ(target.contains("access_token=tok"), c.sent) << target.constData();
  }
}

TEST_F(FacebookSessionTest, ANewRequestDropsTheLastOneSilently) {
  auto session = Facebook::initWithAppId("42");
  RequestRecorder first, second;
  QVariantMap params;
  server.addReply({200, "OK", {}, "{}", 300, -1});
  server.addReply({200, "OK", {}, "{}", 0, -1});
  FBRequest* dropped = session->requestWithMethodName("a", params, "GET", &first);
  FBRequest* kept = session->requestWithMethodName("b", params, "GET", &second);
  EXPECT_NE(dropped, kept);
  EXPECT_EQ(session->request(), kept);
  ASSERT_TRUE(tst::spinUntil([&] { return second.ends == 1; }));
  tst::spinUntil([] { return false; }, 500);
  EXPECT_EQ(first.ends, 0);
}

TEST_F(FacebookSessionTest, LoginReturnedThroughTheCustomAddress) {
  struct Recorder : FBSessionDelegate {
    bool respondsTo(Callback) const override { return true; }
    void fbDidLogin() override { calls << "login"; }
    void fbDidNotLogin(bool cancelled) override { calls << (cancelled ? "cancelled" : "failed"); }
    QStringList calls;
  };
  struct Case {
    const char* url;
    QStringList calls;
    bool handled;
  };
  for (const Case& c :
       QList<Case>{{"fb42://authorize#access_token=a%2Fb&expires_in=0", {"login"}, true},
                   {"fb42://authorize?error=access_denied", {"cancelled"}, true},
                   {"fb42://authorize?error=other", {"failed"}, true},
                   {"fb42://authorize?error_code=3&junk", {"failed"}, true},
                   {"fb43://authorize#access_token=a", {}, false}}) {
    auto session = Facebook::initWithAppId("42");
    Recorder delegate;
    session->setSessionDelegate(&delegate);
    EXPECT_EQ(session->handleOpenURL(QUrl(c.url)), c.handled) << c.url;
    EXPECT_EQ(delegate.calls, c.calls) << c.url;
    if (c.calls == QStringList{"login"}) {
      EXPECT_EQ(session->accessToken(), "a/b");
      EXPECT_EQ(session->expirationDate(), Facebook::distantFuture());
    }
  }
}

}  // namespace
