#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QMenuBar>
#include <QMessageBox>
#include <QTextBrowser>
#include <QTimer>

#include "TestSupport.h"
#include "appkit/Application.h"
#include "appkit/DocumentController.h"
#include "appkit/MenuItem.h"
#include "appkit/ScriptedModalServices.h"
#include "appkit/UserNotificationCenter.h"
#include "appkit/Window.h"
#include "coreimage/Filter.h"
#include "foundation/UserDefaults.h"
#include "model/ImagesCacheFolder.h"
#include "window/IMAppResponder.h"
#include "window/IMHelpWindow.h"

namespace {

// Records what the start-up sequence had done when the document controller
// was asked for.
class RecordingResponder : public IMAppResponder {
 public:
  using IMAppResponder::IMAppResponder;
  bool filtersWereRegistered = false;
  bool sharedControllerExisted = false;
  int controllersMade = 0;

 protected:
  ui::DocumentController* makeDocumentController() override {
    ++controllersMade;
    filtersWereRegistered = ci::Filter::filterWithName(QStringLiteral("ShadowImageUnit")) &&
                            ci::Filter::filterWithName(QStringLiteral("FlipImageHUnit"));
    sharedControllerExisted = ui::DocumentController::existingSharedDocumentController();
    return IMAppResponder::makeDocumentController();
  }
};

bool helpShown(const IMAppResponder& responder) {
  return responder.helpWindow() && responder.helpWindow()->isVisible();
}

// Catches the addresses the workspace hands to the desktop.
class UrlCatcher : public QObject {
  Q_OBJECT
 public:
  explicit UrlCatcher(const QString& scheme) : scheme_(scheme) {
    QDesktopServices::setUrlHandler(scheme_, this, "open");
  }
  ~UrlCatcher() override { QDesktopServices::unsetUrlHandler(scheme_); }
  QList<QUrl> urls;
 public slots:
  void open(const QUrl& url) { urls.append(url); }

 private:
  QString scheme_;
};

}  // namespace

TEST(IMAppResponderTest, FiltersLoadBeforeTheDocumentControllerWhichBecomesTheSharedOne) {
  auto defaults = fnd::UserDefaults::withFile(tst::tempPath("startup.plist"));
  ui::Application* app = ui::Application::sharedApplication();
  ASSERT_FALSE(ui::DocumentController::existingSharedDocumentController());
  RecordingResponder responder(defaults.get());
  app->setDelegate(&responder);
  responder.awakeFromNib();
  EXPECT_EQ(responder.controllersMade, 0) << "made before the application finishes launching";
  app->finishLaunching();
  app->setDelegate(nullptr);
  ui::CrashReporter::sharedCrashReporter().stopManager();

  EXPECT_EQ(responder.controllersMade, 1);
  EXPECT_TRUE(responder.filtersWereRegistered);
  EXPECT_FALSE(responder.sharedControllerExisted);
  ASSERT_TRUE(responder.documentController());
  EXPECT_EQ(ui::DocumentController::existingSharedDocumentController(),
            responder.documentController());
  EXPECT_EQ(IMAppResponder::sharedAppResponder(), &responder);
  EXPECT_EQ(app->documentControllerResponder(), responder.documentController());
  // The desktop has user notifications: the responder answers them.
  EXPECT_TRUE(IMAppResponder::hasUserNotifications());
  EXPECT_EQ(ui::UserNotificationCenter::defaultUserNotificationCenter().delegate(),
            static_cast<ui::UserNotificationCenterDelegate*>(&responder));
  // The program keeps its controller to the end; later starts in this
  // process make their own shared one.
  delete responder.documentController();
}

// Each row is one launch of the program on the same user defaults.
TEST(IMAppResponderTest, LaunchesAreCountedAndTheHelpShowsOncePerMajorAndMinorVersion) {
  const QString path = tst::tempPath("launches.plist");
  struct Launch {
    QString version;
    bool removeOpenImagesInZova;
    QString helpKey;
    bool showsHelp;
  } launches[] = {
      {"2.1.3", false, "IMHasShownFirstLaunchHelp2.1", true},
      {"2.1.4", true, "IMHasShownFirstLaunchHelp2.1", false},
      {"2.2", false, "IMHasShownFirstLaunchHelp2.2", true},
      {"3", false, "IMHasShownFirstLaunchHelp3.0", true},
      {"3.0.1", false, "IMHasShownFirstLaunchHelp3.0", false},
  };
  qint64 launch = 0;
  for (const Launch& l : launches) {
    SCOPED_TRACE(l.version.toStdString());
    ++launch;
    auto defaults = fnd::UserDefaults::withFile(path);
    if (l.removeOpenImagesInZova) defaults->removeObjectForKey("IMOpenImagesInZova");
    QCoreApplication::setApplicationVersion(l.version);
    IMAppResponder responder(defaults.get());
    EXPECT_EQ(responder.hasHelpBeenShownedForVersionKey(), l.helpKey);
    responder.awakeFromNib();
    EXPECT_EQ(defaults->integerForKey("IMLaunchsNumber"), launch);
    EXPECT_TRUE(defaults->boolForKey(l.helpKey)) << "set as soon as the help is scheduled";
    EXPECT_TRUE(defaults->hasKey("IMOpenImagesInZova"));
    EXPECT_TRUE(defaults->boolForKey("IMOpenImagesInZova"));
    EXPECT_FALSE(helpShown(responder)) << "the help waits for the application to be up";
    EXPECT_EQ(tst::spinUntil([&] { return helpShown(responder); }, 1500), l.showsHelp);
    if (l.showsHelp) {
      EXPECT_TRUE(
          responder.helpWindow()->readMeView()->toPlainText().contains("Welcome to Tessaly"));
    }
    ASSERT_TRUE(defaults->synchronize());
  }
}

TEST(IMAppResponderTest, OnlyTheNonNativeFilesNotificationShowsItsAlert) {
  auto defaults = fnd::UserDefaults::withFile(tst::tempPath("notifications.plist"));
  IMAppResponder responder(defaults.get());
  ui::ScriptedModalServices services;
  struct Case {
    QString title;
    bool alerts;
  } cases[] = {{"Non native files editing", true}, {"Something else", false}, {"", false}};
  ui::UserNotificationCenter center(QDBusConnection(QStringLiteral("none")));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.title.toStdString());
    const qsizetype before = services.shown().size();
    if (c.alerts) services.answerAlert(1000);
    ui::UserNotification notification;
    notification.title = c.title;
    EXPECT_TRUE(responder.shouldPresentNotification(center, notification));
    responder.didActivateNotification(center, notification);
    ASSERT_EQ(services.shown().size(), before + (c.alerts ? 1 : 0));
    if (!c.alerts) continue;
    const ui::AlertRequest& alert = services.shown().last().alert;
    EXPECT_EQ(alert.style, ui::AlertStyle::Informational);
    EXPECT_EQ(alert.messageText, "Non native files editing");
    EXPECT_TRUE(alert.informativeText.startsWith("When opening and editing image files"));
  }
  const qsizetype before = services.shown().size();
  responder.showAlertDidNotShowNonZOVAAlertWithUserNotification(nullptr);
  EXPECT_EQ(services.shown().size(), before);
}

// Termination empties only this process's folder: a link inside it to a
// folder of the user's goes as a link, and what it pointed to stays.
TEST(IMAppResponderTest, TerminationRemovesTheOwnCacheFolderWithoutFollowingLinks) {
  const QString defaultsPath = tst::tempPath("termination.plist");
  auto defaults = fnd::UserDefaults::withFile(defaultsPath);
  IMAppResponder responder(defaults.get());
  const QString outside = tst::tempPath("users-folder");
  QDir().mkpath(outside);
  QFile kept(outside + "/kept.png");
  ASSERT_TRUE(kept.open(QIODevice::WriteOnly));
  kept.write("precious");
  kept.close();
  const QString cache = ImagesCacheFolder::shared().path();
  ASSERT_FALSE(cache.isEmpty());
  QFile version(cache + "/version-1.png");
  ASSERT_TRUE(version.open(QIODevice::WriteOnly));
  version.close();
  ASSERT_TRUE(QFile::link(outside, cache + "/linked-folder"));
  ASSERT_TRUE(QFile::link(outside + "/kept.png", cache + "/linked-file.png"));

  responder.applicationWillTerminate();

  EXPECT_FALSE(QFileInfo::exists(cache));
  EXPECT_FALSE(QFileInfo(cache).isSymLink());
  EXPECT_TRUE(QFileInfo::exists(outside + "/kept.png"));
  EXPECT_EQ(QDir(outside).entryList(QDir::Files), QStringList{"kept.png"});
  auto written = fnd::UserDefaults::withFile(defaultsPath);
  EXPECT_TRUE(written->hasKey("IMGaveARating"));
  EXPECT_FALSE(written->boolForKey("IMGaveARating"));
}

// Each row is one termination: the question comes from the eleventh launch
// on, never to who answered, and again only two days after the last time.
TEST(IMAppResponderTest, TheRatingQuestionComesAtTheRightTerminations) {
  constexpr long kRate = ui::AlertFirstButtonReturn, kNever = kRate + 1, kLater = kRate + 2;
  const QDateTime now = QDateTime::currentDateTimeUtc();
  struct Case {
    const char* name;
    qint64 launches;
    QVariant gaveARating;
    qint64 askedSecondsAgo;  // 0: never asked
    bool asks;
    long answer;
    bool gaveAfter;
  } cases[] = {
      {"tenth launch", 10, {}, 0, false, 0, false},
      {"eleventh launch", 11, {}, 0, true, kLater, false},
      {"asked just under two days ago", 30, false, 172700, false, 0, false},
      {"asked just over two days ago", 30, false, 172900, true, kNever, true},
      {"chose to rate", 12, false, 0, true, kRate, true},
      {"already rated", 40, true, 0, false, 0, true},
  };
  UrlCatcher store(QStringLiteral("appstream"));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto defaults = fnd::UserDefaults::withFile(tst::tempPath("rating.plist"));
    defaults->setInteger(c.launches, "IMLaunchsNumber");
    if (c.gaveARating.isValid()) defaults->setBool(c.gaveARating.toBool(), "IMGaveARating");
    if (c.askedSecondsAgo)
      defaults->setObject(now.addSecs(-c.askedSecondsAgo), "IMGiveARatingQuestionDate");
    const QVariant askedBefore = defaults->objectForKey("IMGiveARatingQuestionDate");
    IMAppResponder responder(defaults.get());
    ui::ScriptedModalServices services;
    if (c.asks) services.answerAlert(c.answer);
    const qsizetype storeVisits = store.urls.size();

    responder.applicationWillTerminate();

    ASSERT_EQ(services.shown().size(), c.asks ? 1 : 0);
    EXPECT_TRUE(defaults->hasKey("IMGaveARating"));
    EXPECT_EQ(defaults->boolForKey("IMGaveARating"), c.gaveAfter);
    EXPECT_EQ(store.urls.size(), storeVisits + (c.answer == kRate ? 1 : 0));
    if (!c.asks) {
      EXPECT_EQ(defaults->objectForKey("IMGiveARatingQuestionDate"), askedBefore);
      continue;
    }
    EXPECT_GE(defaults->dateForKey("IMGiveARatingQuestionDate"), now);
    const ui::AlertRequest& alert = services.shown()[0].alert;
    EXPECT_EQ(alert.messageText, "You like Tessaly?");
    EXPECT_EQ(alert.buttons,
              QStringList({"I want to give a rating", "Don't ask again", "Remind me later"}));
  }
  ASSERT_FALSE(store.urls.isEmpty());
  EXPECT_EQ(store.urls.last().toString(), "appstream://com.brenwick.tessaly");
}

// A signal or the session ending the program never waits on the rating
// question, even when it is due; asked at the user's Quit, Escape answers
// "Remind me later".
TEST(IMAppResponderTest, TheRatingQuestionWaitsForNobodyAndEscapeMeansLater) {
  using Reason = ui::Application::TerminationReason;
  ui::Application* app = ui::Application::sharedApplication();
  for (const Reason reason : {Reason::Signal, Reason::Session}) {
    auto defaults = fnd::UserDefaults::withFile(tst::tempPath("rating-signal.plist"));
    defaults->setInteger(30, "IMLaunchsNumber");
    IMAppResponder responder(defaults.get());
    app->setDelegate(&responder);
    ui::ScriptedModalServices services;
    services.setUnexpectedDialogHandler(
        [](const QString& what) { ADD_FAILURE() << what.toStdString(); });
    app->terminateWithoutAsking(reason);
    EXPECT_TRUE(services.shown().isEmpty());
    EXPECT_FALSE(defaults->hasKey("IMGiveARatingQuestionDate"));
    EXPECT_FALSE(defaults->boolForKey("IMGaveARating"));
    app->setDelegate(nullptr);
  }

  auto defaults = fnd::UserDefaults::withFile(tst::tempPath("rating-escape.plist"));
  defaults->setInteger(30, "IMLaunchsNumber");
  IMAppResponder responder(defaults.get());
  bool asked = false, closedByEscape = false;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box) return;
    poll.stop();
    asked = box->text() == "You like Tessaly?";
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QCoreApplication::sendEvent(box, &escape);
    closedByEscape = !box->isVisible();
    if (!closedByEscape) box->reject();
  });
  poll.start(10);
  responder.applicationWillTerminate();
  EXPECT_TRUE(asked);
  EXPECT_TRUE(closedByEscape) << "Escape did not answer the question";
  EXPECT_TRUE(defaults->hasKey("IMGiveARatingQuestionDate"));
  EXPECT_FALSE(defaults->boolForKey("IMGaveARating")) << "Escape meant more than later";
}

// The commands reach the responder through the main menu and the chain;
// the help site's address is a URL with a query, not a joined path.
TEST(IMAppResponderTest, MainMenuCommandsTravelTheChainAndOpenTheSitesAsUrls) {
  auto defaults = fnd::UserDefaults::withFile(tst::tempPath("menu.plist"));
  ui::Application* app = ui::Application::sharedApplication();
  IMAppResponder responder(defaults.get());
  app->setDelegate(&responder);
  ui::Window window;
  window.resize(400, 300);
  window.makeKeyAndOrderFront();
  ASSERT_TRUE(tst::spinUntil([&] { return app->keyWindow() == &window; }));
  ASSERT_TRUE(window.menuBar()->actions().size() >= 2) << "installed when the window became key";

  QHash<QString, ui::MenuItem*> items;
  for (QAction* menu : window.menuBar()->actions())
    for (QAction* action : menu->menu()->actions())
      if (auto* item = qobject_cast<ui::MenuItem*>(action)) items.insert(item->action(), item);
  app->updateWindows();
  struct Expected {
    QString action;
    bool enabled;
  } expected[] = {{"loadHelp:", true},           {"goToWebSite:", true},
                  {"goToScreencastSite:", true}, {"acknowledgments:", true},
                  {"performClose:", true},       {"terminate:", true},
                  {"saveDocument:", false},      {"printDocument:", false}};
  for (const Expected& e : expected) {
    SCOPED_TRACE(e.action.toStdString());
    ASSERT_TRUE(items.contains(e.action));
    EXPECT_EQ(items[e.action]->isEnabled(), e.enabled);
  }
  // The desktop's usual keys, whatever the platform theme would offer.
  EXPECT_EQ(items["terminate:"]->shortcut(), QKeySequence("Ctrl+Q"));
  EXPECT_EQ(items["performClose:"]->shortcut(), QKeySequence("Ctrl+W"));

  UrlCatcher catcher(QStringLiteral("https"));
  items["goToWebSite:"]->trigger();
  items["goToScreencastSite:"]->trigger();
  ASSERT_EQ(catcher.urls.size(), 2);
  EXPECT_EQ(catcher.urls[0], QUrl("https://tessaly.org/"));
  EXPECT_EQ(catcher.urls[1].toString(), "https://tessaly.org/?menu=tessaly_video");

  qputenv("XDG_CACHE_HOME", tst::tempPath("cache").toLocal8Bit());
  UrlCatcher files(QStringLiteral("file"));
  items["acknowledgments:"]->trigger();
  ASSERT_EQ(files.urls.size(), 1);
  QFile acknowledgments(files.urls[0].toLocalFile());
  ASSERT_TRUE(acknowledgments.open(QIODevice::ReadOnly));
  EXPECT_TRUE(acknowledgments.readAll().contains("<h1>Acknowledgments</h1>"));

  items["loadHelp:"]->trigger();
  EXPECT_TRUE(helpShown(responder));
  app->setDelegate(nullptr);
}

// There is no menu bar without a window on this desktop, so closing the
// last window ends the program through the termination sequence.
TEST(IMAppResponderTest, ClosingTheLastWindowTerminates) {
  auto defaults = fnd::UserDefaults::withFile(tst::tempPath("last-window.plist"));
  ui::Application* app = ui::Application::sharedApplication();
  IMAppResponder responder(defaults.get());
  app->setDelegate(&responder);
  const QString cache = ImagesCacheFolder::shared().path();
  ui::Window first, second;
  first.show();
  second.show();
  second.close();
  tst::spinOnce();
  EXPECT_TRUE(QFileInfo::exists(cache)) << "a window is still open";
  first.close();
  EXPECT_TRUE(tst::spinUntil([&] { return !QFileInfo::exists(cache); }));
  EXPECT_TRUE(defaults->hasKey("IMGaveARating"));
  app->setDelegate(nullptr);
}

#include "IMAppResponderTest.moc"
