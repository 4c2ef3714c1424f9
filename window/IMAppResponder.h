// The application's delegate: runs the start-up sequence (filters load
// before the document controller is made, launch counting, first-launch
// help), starts crash reporting, answers the non-native files notification,
// offers the help and web-site commands, puts the main menu on document
// windows and, at termination, removes the process's image cache folder and
// writes the user defaults out.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>
#include <functional>
#include <memory>

#include "appkit/ApplicationDelegate.h"
#include "appkit/CrashReporter.h"
#include "appkit/UserNotificationCenter.h"
#include "foundation/NotificationCenter.h"
#include "window/IMHelpWindow.h"
#include "window/IMPreferencesWindow.h"

namespace fnd {
class UserDefaults;
}
namespace ui {
class DocumentController;
class Window;
}  // namespace ui

class Reachability;

class IMAppResponder : public QObject,
                       public ui::ApplicationDelegate,
                       public ui::CrashReporterDelegate,
                       public ui::UserNotificationCenterDelegate {
  Q_OBJECT

 public:
  // Reads and writes `defaults` (the standard ones when null). The first
  // responder made becomes the shared one.
  explicit IMAppResponder(fnd::UserDefaults* defaults = nullptr, QObject* parent = nullptr);
  ~IMAppResponder() override;

  static IMAppResponder* sharedAppResponder();

  // What the desktop offers, each asked for on its own.
  static bool hasUserNotifications() { return true; }
  static bool hasSharingServicePicker() { return false; }

  // "IMOpenImagesInZova", written YES first when absent.
  bool openImagesInZova();

  static QString webSiteUrlString();
  // The page of the video tutorials: the site with its query.
  static QUrl helpSiteUrl();
  static void goToWebSite();
  static void goToHelpSite();
  // The program's page in the desktop's software centre.
  static QUrl appStorePageUrl();
  static void goToAppStorePage();
  // Opens the acknowledgments in the desktop's application for HTML.
  static void acknowledgments();

  // The start-up sequence, before the application finishes launching.
  void awakeFromNib();
  // "IMHasShownFirstLaunchHelp<major>.<minor>" of the running version.
  QString hasHelpBeenShownedForVersionKey() const;
  static QString helpKeyForVersion(const QString& version);

  // Shows the help window, loading it the first time.
  void loadHelp(QObject* sender = nullptr);
  IMHelpWindow* helpWindow() const { return helpWindow_; }

  // The preferences window, made on first use.
  IMPreferencesWindow* preferenceWindow();
  void showPreferences(QObject* sender = nullptr);
  // Starts the font panel on the default font of text layers; its choices
  // come back through changeFont.
  void showDefaultFontPanel(QObject* sender = nullptr);
  void changeFont(const QFont& font);
  // The font panel's other attributes: `convertAttributes` is the panel's
  // conversion of the preview's attributes; the result becomes the default
  // attributes of new text and shows in the preview.
  void changeAttributes(const std::function<QVariantMap(const QVariantMap&)>& convertAttributes);

  ui::DocumentController* documentController() const { return documentController_; }

  // Alerts only for the non-native files notification; null shows nothing.
  void showAlertDidNotShowNonZOVAAlertWithUserNotification(
      const ui::UserNotification* notification);

  // Gives `window` the program's main menu unless it has it already.
  void installMainMenu(ui::Window* window);

  // The internet's reachability, made at start-up and read on demand by
  // the documents' post command; null until then, or when the platform
  // gave no target.
  void checkServer();
  Reachability* internetReachability() const { return internetReachability_.get(); }

  // ui::ApplicationDelegate
  void applicationDidFinishLaunching() override;
  // Without a window there is no menu bar left on this desktop, so closing
  // the last document window quits.
  bool applicationShouldTerminateAfterLastWindowClosed() override { return true; }
  void applicationWillTerminate() override;

  // ui::UserNotificationCenterDelegate
  bool shouldPresentNotification(ui::UserNotificationCenter&,
                                 const ui::UserNotification&) override {
    return true;
  }
  void didActivateNotification(ui::UserNotificationCenter&,
                               const ui::UserNotification& notification) override;

 protected:
  // Makes the program's document controller; called once the filters are loaded.
  virtual ui::DocumentController* makeDocumentController();

 private:
  void willFinishLaunching();
  void countLaunch();
  void scheduleFirstLaunchHelp();
  void emptyImagesCache();
  void askForARatingIfTheTimeHasCome();

  fnd::UserDefaults& defaults_;
  ui::DocumentController* documentController_ = nullptr;
  fnd::NotificationCenter::ObserverToken appWillFinishLaunchingObserver_ = 0;
  QPointer<IMHelpWindow> helpWindow_;
  QPointer<IMPreferencesWindow> preferenceWindow_;
  bool delegateOfNotifications_ = false;
  std::unique_ptr<Reachability> internetReachability_;
};
