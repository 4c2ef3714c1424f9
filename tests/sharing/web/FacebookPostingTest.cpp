// A posting end to end on the real web engine, against the loopback
// stand-in of the network: the login sheet shows the server's page, the
// form sends the user to the callback page, the photo goes up with the
// token, and the creator hears how it ended.
#include <gtest/gtest.h>

#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QWebEngineView>

#include "SharingTestServer.h"
#include "TestSupport.h"
#include "sharing/FBDialog.h"
#include "sharing/Facebook.h"
#include "sharing/FacebookController.h"
#include "sharing/FacebookDialogWindow.h"

namespace {

class FacebookPostingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    FBEndpoints::setCurrent(FBEndpoints::underServer(server.base()));
    QImage image(8, 8, QImage::Format_ARGB32);
    image.fill(Qt::red);
    imagePath = folder.filePath("exportToFacebook.png");
    ASSERT_TRUE(image.save(imagePath, "PNG"));
  }
  void TearDown() override { FBEndpoints::resetCurrent(); }

  void startPosting() {
    controller = std::make_unique<FacebookController>(
        QUrl::fromLocalFile(imagePath), QStringLiteral("posted image"), [this] { ++begins; },
        [this](bool success) { outcomes.append(success); });
  }
  FacebookDialogWindow* sheet() {
    FBDialog* dialog = controller->facebook()->loginDialog();
    return dialog && dialog->interface()
               ? static_cast<FacebookDialogWindow*>(dialog->interface()->window())
               : nullptr;
  }
  void waitForLoginPage() {
    ASSERT_TRUE(tst::spinUntil(
        [&] {
          return sheet() && sheet()->titleLabel()->text() == "Log in to the loopback network";
        },
        20000));
  }
  void submitLogin() {
    sheet()->webView()->page()->runJavaScript("document.getElementById('login').click();");
  }
  // Waits for the login page, then sends its form as the user would.
  void logIn() {
    ASSERT_NO_FATAL_FAILURE(waitForLoginPage());
    submitLogin();
  }

  SharingTestServer server;
  QTemporaryDir folder;
  QString imagePath;
  std::unique_ptr<FacebookController> controller;
  int begins = 0;
  QList<bool> outcomes;
};

TEST_F(FacebookPostingTest, LoginSheetShowsTheServersPageAndPostsThePhotoWithTheToken) {
  startPosting();
  ASSERT_NO_FATAL_FAILURE(waitForLoginPage());
  ASSERT_TRUE(sheet()->isVisible());
  // Let the page paint before the grab.
  tst::spinUntil([&] { return false; }, 300);
  tst::saveArtifactImage(sheet()->grab().toImage(), "sharing-login-dialog.png");
  submitLogin();
  ASSERT_TRUE(tst::spinUntil([&] { return !outcomes.isEmpty(); }, 20000));
  EXPECT_EQ(outcomes, QList<bool>{true});
  EXPECT_EQ(begins, 1);
  EXPECT_EQ(server.uploadsAccepted, 1);
  EXPECT_EQ(controller->facebook()->accessToken(), SharingTestServer::token);
  EXPECT_EQ(sheet(), nullptr);  // the sheet is gone with its web view
  const QByteArray oauth = server.server.requests().first().target;
  for (const char* pair : {"client_id=507218364920153", "type=user_agent",
                           "redirect_uri=fbconnect%3A%2F%2Fsuccess", "display=touch", "sdk=2"})
    EXPECT_TRUE(oauth.contains(pair)) << pair << " in " << oauth.constData();
}

TEST_F(FacebookPostingTest, UploadRepliesDecideTheOutcomeOnce) {
  struct Case {
    const char* name;
    tst::ScriptedReply reply;
    bool success;
  };
  const QByteArray json = "application/json";
  const QList<Case> cases{
      {"service error",
       {200, "OK", {}, "{\"error_code\":190,\"error_msg\":\"Bad token\"}", 0, -1},
       false},
      {"error status", {500, "Server Error", {}, "{}", 0, -1}, false},
      {"dropped connection", {200, "OK", {}, "{\"pid\":\"1\"}", 0, 20}, false},
      {"not JSON", {200, "OK", {}, "<html>busy</html>", 0, -1}, false},
      {"photo id", {200, "OK", {}, "{\"pid\":\"42\"}", 0, -1}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    server.uploadReply = c.reply;
    begins = 0;
    outcomes.clear();
    startPosting();
    ASSERT_NO_FATAL_FAILURE(logIn());
    ASSERT_TRUE(tst::spinUntil([&] { return !outcomes.isEmpty(); }, 20000));
    tst::spinUntil([&] { return outcomes.size() > 1; }, 200);
    EXPECT_EQ(outcomes, QList<bool>{c.success});
    EXPECT_EQ(begins, 1);
  }
}

TEST_F(FacebookPostingTest, CancelsEndThePostingWithoutUploading) {
  // The sheet's Cancel button: the sheet closes and neither handler runs.
  startPosting();
  ASSERT_NO_FATAL_FAILURE(logIn());
  sheet()->cancelButton()->click();
  EXPECT_EQ(sheet(), nullptr);
  tst::spinUntil([&] { return false; }, 500);
  EXPECT_TRUE(outcomes.isEmpty());
  EXPECT_EQ(begins, 0);

  // The network's cancel callback without an error code: a failed posting.
  server.callbackPage =
      "<script type=\"text/javascript\">window.location.href=\"fbconnect:\\/\\/cancel?"
      "error_reason=user_denied\";</script>";
  startPosting();
  ASSERT_NO_FATAL_FAILURE(logIn());
  ASSERT_TRUE(tst::spinUntil([&] { return !outcomes.isEmpty(); }, 20000));
  EXPECT_EQ(outcomes, QList<bool>{false});
  EXPECT_EQ(begins, 0);
  EXPECT_EQ(server.uploadsAccepted, 0);
}

TEST_F(FacebookPostingTest, LoginPageThatCannotLoadFailsThePosting) {
  // A port nothing listens on any more: the connection is refused.
  QTcpServer closed;
  ASSERT_TRUE(closed.listen(QHostAddress::LocalHost));
  const quint16 port = closed.serverPort();
  closed.close();
  FBEndpoints::setCurrent(
      FBEndpoints::underServer(QStringLiteral("http://127.0.0.1:%1/").arg(port)));
  startPosting();
  ASSERT_TRUE(tst::spinUntil([&] { return !outcomes.isEmpty(); }, 20000));
  EXPECT_EQ(outcomes, QList<bool>{false});
  EXPECT_EQ(begins, 0);
}

}  // namespace
