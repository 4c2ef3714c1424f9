// A call to the service is bounded: a reply too long, a call lasting too
// long in all, or a reply that is not JSON ends with the service's error.
#include <gtest/gtest.h>

#include "LoopbackServer.h"
#include "TestSupport.h"
#include "sharing/FBRequest.h"

namespace {

struct Outcome : FBRequestDelegate {
  bool respondsTo(Callback c) const override {
    return c == RequestDidLoad || c == RequestDidFailWithError;
  }
  void requestDidLoad(FBRequest*, const QVariant&) override { result = "loaded"; }
  void requestDidFailWithError(FBRequest*, const fnd::Error& e) override {
    result = e.domain() + QString::number(e.code());
  }
  QString result;
};

TEST(FBRequestBounds, OversizedSlowAndUnreadableRepliesAreServiceErrors) {
  const QByteArray large = "{\"a\":\"" + QByteArray(FBRequest::maximumResponseLength, 'x') + "\"}";
  struct Case {
    const char* name;
    tst::ScriptedReply reply;
    QString result;
  };
  const QList<Case> cases{
      {"just under the limit",
       {200, "OK", {}, large.left(large.size() - 10) + "\"}", 0, -1},
       "loaded"},
      {"over the limit", {200, "OK", {}, large, 0, -1}, "facebookErrDomain10000"},
      {"slower than the whole call may take",
       {200, "OK", {}, "{}", 2000, -1},
       "facebookErrDomain10000"},
      {"not JSON", {200, "OK", {}, "<html>", 0, -1}, "facebookErrDomain10000"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    tst::LoopbackServer server;
    server.addReply(c.reply);
    Outcome outcome;
    auto request =
        FBRequest::getRequestWithParams({}, "GET", &outcome, server.url("/m").toString());
    request->setMaximumDuration(c.reply.delayMs > 0 ? 0.3 : 30);
    request->connect();
    ASSERT_TRUE(tst::spinUntil([&] { return !outcome.result.isEmpty(); }, 10000));
    EXPECT_EQ(outcome.result, c.result);
    EXPECT_FALSE(request->loading());
    EXPECT_TRUE(request->responseText().isNull());  // nothing of the reply is kept
  }
}

}  // namespace
