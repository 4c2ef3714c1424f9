#include "window/IMAppResponder.h"

#include <QCoreApplication>
#include <QPointer>
#include <QTimer>
#include <QUrlQuery>

#include "appkit/Alert.h"
#include "appkit/Application.h"
#include "appkit/Window.h"
#include "appkit/Workspace.h"
#include "documents/IMDocument.h"
#include "documents/IMDocumentController.h"
#include "foundation/Localized.h"
#include "foundation/OperationQueue.h"
#include "foundation/UserDefaults.h"
#include "model/Filter.h"
#include "model/ImagesCacheFolder.h"
#include "sharing/Reachability.h"
#include "window/IMHelpWindow.h"
#include "window/IMMainMenu.h"
#include "window/IMWindowController.h"

namespace {

QPointer<IMAppResponder>& shared() {
  static QPointer<IMAppResponder> responder;
  return responder;
}

const QString kLaunchsNumber = QStringLiteral("IMLaunchsNumber");
const QString kOpenImagesInZova = QStringLiteral("IMOpenImagesInZova");
const char* const kNonNativeTitle = "Non native files editing";
const char* const kNonNativeText =
    "When opening and editing image files that are not in Tessaly native format (ZOVA), your "
    "changes will be saved merged so you will loose Tessaly specific settings. You can change "
    "the default image files opening behaviour in Tessaly preferences.";
constexpr int kFirstLaunchHelpDelayMs = 800;

}  // namespace

IMAppResponder::IMAppResponder(fnd::UserDefaults* defaults, QObject* parent)
    : QObject(parent), defaults_(defaults ? *defaults : fnd::UserDefaults::standardUserDefaults()) {
  if (!shared()) shared() = this;
  addAction(QStringLiteral("loadHelp:"), [this](QObject* sender) { loadHelp(sender); });
  addAction(QStringLiteral("goToWebSite:"), [](QObject*) { goToWebSite(); });
  addAction(QStringLiteral("goToScreencastSite:"), [](QObject*) { goToHelpSite(); });
  addAction(QStringLiteral("showPreferences:"),
            [this](QObject* sender) { showPreferences(sender); });
  addAction(QStringLiteral("showDefaultFontPanel:"),
            [this](QObject* sender) { showDefaultFontPanel(sender); });
  addAction(QStringLiteral("acknowledgments:"), [](QObject*) { acknowledgments(); });
  addAction(QStringLiteral("goToAppStorePage:"), [](QObject*) { goToAppStorePage(); });
  if (auto* app = ui::Application::existingApplication())
    connect(app, &ui::Application::keyWindowChanged, this, &IMAppResponder::installMainMenu);
}

IMAppResponder::~IMAppResponder() {
  if (appWillFinishLaunchingObserver_)
    fnd::NotificationCenter::defaultCenter().removeObserver(appWillFinishLaunchingObserver_);
  if (delegateOfNotifications_)
    ui::UserNotificationCenter::defaultUserNotificationCenter().setDelegate(nullptr);
  delete helpWindow_;
  delete preferenceWindow_;
  if (internetReachability_) internetReachability_->stopNotifier();
  if (shared() == this) IMDocument::setInternetReachabilityProvider(nullptr);
}

IMAppResponder* IMAppResponder::sharedAppResponder() { return shared(); }

bool IMAppResponder::openImagesInZova() {
  if (!defaults_.hasKey(kOpenImagesInZova)) defaults_.setBool(true, kOpenImagesInZova);
  return defaults_.boolForKey(kOpenImagesInZova);
}

QString IMAppResponder::webSiteUrlString() { return QStringLiteral("https://tessaly.org/"); }

QUrl IMAppResponder::helpSiteUrl() {
  QUrl url(webSiteUrlString());
  QUrlQuery query;
  query.addQueryItem(QStringLiteral("menu"), QStringLiteral("tessaly_video"));
  url.setQuery(query);
  return url;
}

void IMAppResponder::goToWebSite() {
  ui::Workspace::sharedWorkspace().openURL(QUrl(webSiteUrlString()));
}

void IMAppResponder::goToHelpSite() { ui::Workspace::sharedWorkspace().openURL(helpSiteUrl()); }

QUrl IMAppResponder::appStorePageUrl() {
  // The software centres of the desktop (GNOME Software, Discover) open
  // their page of an application from its component id.
  QUrl url;
  url.setScheme(QStringLiteral("appstream"));
  url.setHost(QStringLiteral("com.brenwick.tessaly"));
  return url;
}

void IMAppResponder::goToAppStorePage() {
  ui::Workspace::sharedWorkspace().openURL(appStorePageUrl());
}

void IMAppResponder::acknowledgments() {
  const QString path = IMHelpWindow::writeAcknowledgments();
  if (!path.isEmpty()) ui::Workspace::sharedWorkspace().openFile(path);
}

void IMAppResponder::awakeFromNib() {
  // Filters are registered before the document controller exists, and the
  // controller is made before anything asks for a shared one, so it is the
  // one every document goes through.
  appWillFinishLaunchingObserver_ = fnd::NotificationCenter::defaultCenter().addObserverForName(
      ui::ApplicationWillFinishLaunchingNotification, nullptr, nullptr,
      [this](const fnd::Notification&) { willFinishLaunching(); });
  countLaunch();
  openImagesInZova();
  scheduleFirstLaunchHelp();
  checkServer();
}

void IMAppResponder::checkServer() {
  internetReachability_ = Reachability::reachabilityForInternetConnection();
  if (shared() != this) return;
  IMDocument::setInternetReachabilityProvider([this] { return internetReachability_.get(); });
}

void IMAppResponder::willFinishLaunching() {
  if (documentController_) return;
  Filter::loadFilters();
  documentController_ = makeDocumentController();
}

ui::DocumentController* IMAppResponder::makeDocumentController() {
  // Every document opened or made from here on shows in a document window.
  IMWindowController::installAsDocumentWindow();
  // Lives as long as the program: documents reach it as the shared one.
  return new IMDocumentController;
}

void IMAppResponder::countLaunch() {
  const qint64 launches =
      defaults_.hasKey(kLaunchsNumber) ? defaults_.integerForKey(kLaunchsNumber) + 1 : 1;
  defaults_.setInteger(launches, kLaunchsNumber);
}

QString IMAppResponder::helpKeyForVersion(const QString& version) {
  const QStringList parts = version.split('.');
  const QString minor = parts.size() > 1 ? parts[1] : QStringLiteral("0");
  return QStringLiteral("IMHasShownFirstLaunchHelp%1.%2").arg(parts[0], minor);
}

QString IMAppResponder::hasHelpBeenShownedForVersionKey() const {
  return helpKeyForVersion(QCoreApplication::applicationVersion());
}

void IMAppResponder::scheduleFirstLaunchHelp() {
  const QString key = hasHelpBeenShownedForVersionKey();
  if (defaults_.boolForKey(key)) return;
  QTimer::singleShot(kFirstLaunchHelpDelayMs, this, [this] { loadHelp(); });
  defaults_.setBool(true, key);
}

void IMAppResponder::loadHelp(QObject*) {
  if (!helpWindow_) helpWindow_ = new IMHelpWindow;
  helpWindow_->show();
  helpWindow_->raise();
  helpWindow_->activateWindow();
}

void IMAppResponder::applicationDidFinishLaunching() {
  auto& reporter = ui::CrashReporter::sharedCrashReporter();
  reporter.configureWithIdentifier(QStringLiteral("5e0a7c913d2b46f8a0c1e97d3b6f2a48"),
                                   QStringLiteral("Tessaly"), this);
  reporter.startManager();
  if (!hasUserNotifications()) return;
  ui::UserNotificationCenter::defaultUserNotificationCenter().setDelegate(this);
  delegateOfNotifications_ = true;
}

void IMAppResponder::didActivateNotification(ui::UserNotificationCenter&,
                                             const ui::UserNotification& notification) {
  showAlertDidNotShowNonZOVAAlertWithUserNotification(&notification);
}

void IMAppResponder::showAlertDidNotShowNonZOVAAlertWithUserNotification(
    const ui::UserNotification* notification) {
  if (!notification || notification->title != fnd::localized(kNonNativeTitle)) return;
  ui::Alert alert;
  alert.setAlertStyle(ui::AlertStyle::Informational);
  alert.setMessageText(fnd::localized(kNonNativeTitle));
  alert.setInformativeText(fnd::localized(kNonNativeText));
  alert.runModal();
}

void IMAppResponder::installMainMenu(ui::Window* window) {
  if (window && !IMMainMenu::isInstalledIn(window))
    IMMainMenu::installIn(window, documentController_);
}

void IMAppResponder::applicationWillTerminate() {
  askForARatingIfTheTimeHasCome();
  emptyImagesCache();
  if (!defaults_.synchronize()) qWarning("NSUserDefaults synchronize failed !");
}

void IMAppResponder::emptyImagesCache() {
  // The documents' queues may still be writing versions into the folder (a
  // picture just opened, an edit just made): they finish first, or a late
  // write would keep the folder, or make a new one, after it is emptied.
  if (ui::DocumentController* controller =
          ui::DocumentController::existingSharedDocumentController())
    for (ui::Document* document : controller->documents())
      if (auto* imDocument = dynamic_cast<IMDocument*>(document))
        imDocument->operationQueue()->waitUntilAllOperationsAreFinished();
  // Only this process's own folder goes, and links inside it are removed as
  // links: nothing they point to is touched.
  ImagesCacheFolder::shared().remove();
}
