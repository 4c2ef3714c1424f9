// The login dialog's reading of the pages the web view finishes: which
// pages are the service's callback, and what each callback tells the
// session and the dialog's own delegate.
#include <gtest/gtest.h>

#include <QLoggingCategory>

#include "TestSupport.h"
#include "sharing/FBLoginDialog.h"
#include "sharing/Facebook.h"

namespace {

struct LoginRecorder : FBLoginDialogDelegate {
  void fbDialogLogin(const QString& token, const QDateTime& expiry) override {
    calls << QStringLiteral("login ") + token;
    expirationDate = expiry;
  }
  void fbDialogNotLogin(bool cancelled) override {
    calls << (cancelled ? QStringLiteral("not login, cancelled") : QStringLiteral("not login"));
  }
  QStringList calls;
  QDateTime expirationDate;
};

struct DialogRecorder : FBDialogDelegate {
  bool respondsTo(Callback) const override { return true; }
  void dialogDidFailWithError(FBDialog*, const fnd::Error& e) override { errors << e; }
  QList<fnd::Error> errors;
};

QByteArray callbackPage(const QByteArray& url) {
  return "<script type=\"text/javascript\">window.location.href=\"" + url + "\";</script>";
}

TEST(FBLoginDialog, CallbackPagesGiveOneOutcome) {
  const QDateTime now = QDateTime::currentDateTimeUtc();
  struct Case {
    const char* name;
    QByteArray page;
    QStringList calls;
    qint64 lifetime;  // seconds from now; -1 none, -2 far ahead
  };
  const QList<Case> cases{
      {"escaped success with a lifetime",
       callbackPage("fbconnect:\\/\\/success#access_token=AB%2FC&expires_in=3600"),
       {"login AB/C"},
       3600},
      {"lifetime 0 never expires",
       callbackPage("fbconnect://success#access_token=t&expires_in=0"),
       {"login t"},
       -2},
      {"no lifetime", callbackPage("fbconnect://success#access_token=t"), {"login t"}, -1},
      {"empty token",
       callbackPage("fbconnect://success#access_token=&expires_in=5"),
       {"not login, cancelled"},
       -1},
      {"token not UTF-8",
       callbackPage("fbconnect://success#access_token=%FF"),
       {"not login, cancelled"},
       -1},
      {"cancel without a code",
       callbackPage("fbconnect:\\/\\/cancel?error_reason=denied"),
       {"not login, cancelled"},
       -1},
      {"cancel with a code",
       callbackPage("fbconnect://cancel?error_code=190&error_msg=Bad%20token"),
       {},
       -1},
      {"page without the script tag", "<html><p>fbconnect://success#access_token=t\"</p>", {}, -1},
      {"no fbconnect address", "<script type=\"text/javascript\">go(\"x\");</script>", {}, -1},
      {"no quote after the address",
       "<script type=\"text/javascript\">fbconnect://success#a",
       {},
       -1},
      {"too short to tell", "<script type=\"text/javascript\">\"fbconnect://c\"", {}, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto recorder = std::make_shared<LoginRecorder>();
    auto dialog =
        std::make_shared<FBLoginDialog>("http://127.0.0.1/dialog/oauth", QVariantMap{}, recorder);
    dialog->webViewResourceDidFinishLoading(c.page);
    // A second callback after an outcome, as a page loading twice: ignored.
    if (!c.calls.isEmpty())
      dialog->webViewResourceDidFinishLoading(callbackPage("fbconnect://success#access_token=z"));
    EXPECT_EQ(recorder->calls, c.calls);
    if (c.lifetime == -1) EXPECT_FALSE(recorder->expirationDate.isValid());
    if (c.lifetime == -2) EXPECT_EQ(recorder->expirationDate, Facebook::distantFuture());
    if (c.lifetime >= 0) EXPECT_NEAR(now.secsTo(recorder->expirationDate), c.lifetime, 5);
  }
}

TEST(FBLoginDialog, CancelCallbackWithACodeIsAnErrorOfTheService) {
  struct Case {
    QByteArray query;
    int code;
    QString message;
  };
  for (const Case& c : QList<Case>{{"error_code=190&error_msg=Bad%20token", 190, "Bad token"},
                                   {"error_code=17", 17, ""},
                                   {"error_code=x&error_msg=%E2%82%AC", 0, "€"},
                                   {"error_msg=%ZZ&error_code=4", 4, ""}}) {
    SCOPED_TRACE(c.query.constData());
    DialogRecorder delegate;
    FBDialog dialog("http://127.0.0.1/dialog/feed", {}, &delegate);
    dialog.webViewResourceDidFinishLoading(callbackPage("fbconnect:\\/\\/cancel?" + c.query));
    ASSERT_EQ(delegate.errors.size(), 1);
    EXPECT_EQ(delegate.errors[0].domain(), "facebookErrDomain");
    EXPECT_EQ(delegate.errors[0].code(), c.code);
    EXPECT_EQ(delegate.errors[0].userInfo().value("error_msg").toString(), c.message);
    EXPECT_FALSE(delegate.errors[0].userInfo().value("error_msg").toString().isNull());
  }
}

TEST(FBLoginDialog, LoadFailuresOtherThanRefusalsEndTheLogin) {
  struct Case {
    fnd::Error error;
    QStringList calls;
  };
  for (const Case& c : QList<Case>{{fnd::Error("NSURLErrorDomain", -999), {}},
                                   {fnd::Error("WebKitErrorDomain", 102), {}},
                                   {fnd::Error("NSURLErrorDomain", -1004), {"not login"}}}) {
    auto recorder = std::make_shared<LoginRecorder>();
    auto dialog = std::make_shared<FBLoginDialog>("http://h/dialog/oauth", QVariantMap{}, recorder);
    dialog->webViewResourceDidFailLoading(c.error);
    if (!c.calls.isEmpty())  // one outcome only
      dialog->webViewResourceDidFailLoading(fnd::Error("NSURLErrorDomain", -1005));
    EXPECT_EQ(recorder->calls, c.calls) << c.error.code();
  }
}

TEST(FBDialog, GeneratedAddressEscapesValuesOnly) {
  EXPECT_EQ(FBDialog::generateURL("http://h/dialog/oauth", {}).toString(), "http://h/dialog/oauth");
  const QUrl url = FBDialog::generateURL(
      "http://h/dialog/oauth",
      {{"display", "touch"}, {"redirect_uri", "fbconnect://success"}, {"scope", "a b,é~"}});
  EXPECT_EQ(url.toString(QUrl::FullyEncoded),
            "http://h/dialog/oauth?display=touch&redirect_uri=fbconnect%3A%2F%2Fsuccess&"
            "scope=a%20b%2C%C3%A9~");
}

}  // namespace
