// The application: the shared instance over the running QApplication, its
// delegate, the key window, nil-targeted actions along the responder chain,
// validation of menu and toolbar items, sheets and the termination sequence.
#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <functional>

#include "appkit/ApplicationDelegate.h"
#include "appkit/Responder.h"
#include "appkit/Window.h"

class QDialog;

namespace ui {

class UserInterfaceItem;

// Posted on fnd::NotificationCenter::defaultCenter() with the application as object.
inline const QString ApplicationWillFinishLaunchingNotification =
    QStringLiteral("NSApplicationWillFinishLaunchingNotification");
inline const QString ApplicationDidFinishLaunchingNotification =
    QStringLiteral("NSApplicationDidFinishLaunchingNotification");
inline const QString ApplicationWillTerminateNotification =
    QStringLiteral("NSApplicationWillTerminateNotification");

class Application : public QObject, public Responder {
  Q_OBJECT

 public:
  // Made on first use; needs a running QApplication.
  static Application* sharedApplication();
  // Null until sharedApplication() made it.
  static Application* existingApplication();

  ApplicationDelegate* delegate() const { return delegate_; }
  void setDelegate(ApplicationDelegate* delegate) { delegate_ = delegate; }

  // Tells the delegate it will and did finish launching, posting the
  // matching notifications around its calls.
  void finishLaunching();
  // finishLaunching, then the Qt event loop.
  int run();

  // The window receiving keys and nil-targeted actions; null when none is shown.
  Window* keyWindow() const { return keyWindow_; }
  // Every ui::Window alive, most recently made key first.
  QList<Window*> windows() const;

  // The chain a nil-targeted action travels: the key window's first
  // responder and its next responders, the window and its next responders
  // (window controller, document), the application, its delegate and the
  // document controller.
  QList<Responder*> responderChain() const;
  // `target` when given and it handles the action, else the first link of
  // the chain that does; null when nobody does.
  Responder* targetForAction(const QString& action, Responder* target = nullptr) const;
  // Sends `action` to the target found as above; false when nobody took it.
  bool sendAction(const QString& action, Responder* target = nullptr, QObject* sender = nullptr);

  // Whether `item` is enabled: its target exists and agrees through
  // validateUserInterfaceItem. A MenuItem is enabled or disabled as answered;
  // toolbar items call this for themselves.
  bool validateItem(UserInterfaceItem& item, Responder* target = nullptr);
  // Validates every live menu item now and emits windowsUpdated for the
  // toolbars.
  void updateWindows();
  // Schedules one updateWindows pass on the event loop; calls coalesce.
  void setNeedsValidation();

  // Shows `sheet` as a window-modal dialog of `window`; `completion` gets the
  // return code given to endSheet (or the dialog's own result) once.
  void beginSheet(QDialog* sheet, Window* window, std::function<void(int returnCode)> completion);
  void endSheet(QDialog* sheet, int returnCode = 0);
  // The sheet shown on `window`, or null.
  QDialog* attachedSheet(const Window* window) const;

  // Who ends the program: the user (Quit, the last window closed), a
  // signal (SIGTERM, SIGINT, SIGHUP) or the desktop session.
  enum class TerminationReason { User, Signal, Session };

  // Documents are asked to save (through the document reviewer), then the
  // delegate; on agreement will-terminate is posted, the documents close
  // with their windows and the event loop quits.
  void terminate(QObject* sender = nullptr);
  // Ends the program without waiting on anybody: edited documents are
  // autosaved for the next start, questions on screen are left unanswered
  // (their modal loops end), the delegate is told the reason, and every
  // event loop quits. Also while a terminate() waits for the user.
  void terminateWithoutAsking(TerminationReason reason);
  TerminationReason terminationReason() const { return reason_; }
  // With no visible window left, closing the last one's rule applies: the
  // delegate decides whether the program terminates.
  void terminateIfNoWindowIsShown();
  // The delegate's answer after it replied TerminateLater.
  void replyToApplicationShouldTerminate(bool shouldTerminate);
  // Reviews unsaved documents before terminating and answers whether to go
  // on; the document controller installs it.
  using DocumentReviewer = std::function<void(std::function<void(bool proceed)>)>;
  void setDocumentReviewer(DocumentReviewer reviewer) { reviewer_ = std::move(reviewer); }
  // The last link of the chain; the document controller registers itself.
  void setDocumentControllerResponder(Responder* responder) { documentController_ = responder; }
  Responder* documentControllerResponder() const { return documentController_; }
  bool isTerminating() const { return terminating_; }

 signals:
  // After each validation pass: toolbar items validate themselves here.
  void windowsUpdated();
  void keyWindowChanged(ui::Window* window);

 private:
  friend class Window;
  explicit Application(QObject* parent);
  ~Application() override;

  void windowCreated(Window* window);
  void windowDestroyed(Window* window);
  void windowHidden(Window* window);
  void setKeyWindow(Window* window);
  void focusChanged(QWidget* old, QWidget* now);
  bool eventFilter(QObject* watched, QEvent* event) override;
  void askDelegateToTerminate();
  // The desktop's beep; false where the platform plug-in has no sound.
  static bool playSystemSound();
  void finishTermination();
  void closeDocuments();
  void autosaveDocumentsForNextLaunch();

  ApplicationDelegate* delegate_ = nullptr;
  Responder* documentController_ = nullptr;
  DocumentReviewer reviewer_;
  QList<Window*> windows_;  // most recently key first
  QPointer<Window> keyWindow_;
  bool validationScheduled_ = false;
  bool terminating_ = false;
  bool finishing_ = false;
  // Set once the running program's event loop was told to quit.
  bool ended_ = false;
  TerminationReason reason_ = TerminationReason::User;
};

}  // namespace ui
