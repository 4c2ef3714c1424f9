#include "appkit/Application.h"

#include <QActionEvent>
#include <QApplication>
#include <QDialog>
#include <QMenu>
#include <QSet>
#include <QThread>
#include <QTimer>

#include "appkit/Document.h"
#include "appkit/DocumentController.h"
#include "appkit/MenuItem.h"
#include "appkit/UserInterfaceItem.h"
#include "appkit/Window.h"
#include "appkit/core/Beep.h"
#include "foundation/NotificationCenter.h"

namespace ui {

namespace {

QPointer<Application>& instance() {
  static QPointer<Application> app;
  return app;
}

const char* const kWatchedMenu = "tessalyValidatesItems";

}  // namespace

Application* Application::sharedApplication() {
  if (!instance()) {
    Q_ASSERT_X(qApp, "ui::Application", "needs a running QApplication");
    instance() = new Application(qApp);
  }
  return instance();
}

Application* Application::existingApplication() { return instance(); }

Application::Application(QObject* parent) : QObject(parent) {
  // The delegate decides whether closing the last window quits.
  qApp->setQuitOnLastWindowClosed(false);
  qApp->installEventFilter(this);
  connect(qApp, &QApplication::focusChanged, this, &Application::focusChanged);
  // The session asks for the work to be kept before it ends; whatever the
  // session does next (a quit, SIGTERM, SIGKILL, or going on) loses nothing.
  connect(qApp, &QGuiApplication::commitDataRequest, this, [] {
    if (DocumentController* controller = DocumentController::existingSharedDocumentController())
      for (Document* document : controller->documents())
        if (document->isDocumentEdited()) document->autosaveDocument({});
  });
  addAction(QStringLiteral("terminate:"), [this](QObject* sender) { terminate(sender); });
  setSystemSound(playSystemSound);
}

Application::~Application() {
  setSystemSound(nullptr);
  if (qApp) qApp->removeEventFilter(this);
}

// Of this Qt's Linux plug-ins only X11's rings a bell; on the others
// (Wayland, offscreen, framebuffers) the beep falls back to the terminal.
bool Application::playSystemSound() {
  if (!qApp || QGuiApplication::platformName() != QLatin1String("xcb")) return false;
  if (QThread::currentThread() == qApp->thread())
    QApplication::beep();
  else
    QMetaObject::invokeMethod(
        qApp, [] { QApplication::beep(); }, Qt::QueuedConnection);
  return true;
}

void Application::finishLaunching() {
  auto& center = fnd::NotificationCenter::defaultCenter();
  center.postNotificationName(ApplicationWillFinishLaunchingNotification, this);
  if (delegate_) delegate_->applicationWillFinishLaunching();
  if (delegate_) delegate_->applicationDidFinishLaunching();
  center.postNotificationName(ApplicationDidFinishLaunchingNotification, this);
}

int Application::run() {
  finishLaunching();
  return QApplication::exec();
}

QList<Window*> Application::windows() const { return windows_; }

QList<Responder*> Application::responderChain() const {
  QList<Responder*> chain;
  QSet<Responder*> seen;
  auto walk = [&](Responder* r) {
    for (; r && !seen.contains(r); r = r->nextResponder()) {
      seen.insert(r);
      chain.append(r);
    }
  };
  if (Window* window = keyWindow_) {
    walk(window->firstResponder());
    // A view whose chain stops short of its window still reaches it.
    walk(window);
    walk(dynamic_cast<Responder*>(window->delegate()));
  }
  walk(const_cast<Application*>(this));
  walk(delegate_);
  walk(documentController_);
  return chain;
}

Responder* Application::targetForAction(const QString& action, Responder* target) const {
  if (target) return target->respondsToAction(action) ? target : nullptr;
  for (Responder* r : responderChain())
    if (r->respondsToAction(action)) return r;
  return nullptr;
}

bool Application::sendAction(const QString& action, Responder* target, QObject* sender) {
  Responder* r = targetForAction(action, target);
  if (!r) return false;
  r->performAction(action, sender);
  setNeedsValidation();
  return true;
}

bool Application::validateItem(UserInterfaceItem& item, Responder* target) {
  auto* menuItem = dynamic_cast<MenuItem*>(&item);
  if (!target && menuItem) target = menuItem->target();
  // Items that send nothing (submenu titles) stay as they are.
  if (item.action().isEmpty()) return menuItem ? menuItem->isEnabled() : true;
  Responder* r = targetForAction(item.action(), target);
  const bool enabled = r && r->validateUserInterfaceItem(item);
  if (menuItem) menuItem->setEnabled(enabled);
  return enabled;
}

void Application::updateWindows() {
  validationScheduled_ = false;
  for (MenuItem* item : MenuItem::allItems()) validateItem(*item);
  emit windowsUpdated();
}

void Application::setNeedsValidation() {
  if (validationScheduled_) return;
  validationScheduled_ = true;
  QMetaObject::invokeMethod(this, &Application::updateWindows, Qt::QueuedConnection);
}

void Application::beginSheet(QDialog* sheet, Window* window,
                             std::function<void(int returnCode)> completion) {
  sheet->setParent(window, Qt::Dialog);
  sheet->setWindowModality(Qt::WindowModal);
  sheet->setProperty("tessalySheetOf", QVariant::fromValue(static_cast<QObject*>(window)));
  connect(
      sheet, &QDialog::finished, this,
      [sheet, completion = std::move(completion)](int code) {
        sheet->setProperty("tessalySheetOf", QVariant());
        if (completion) completion(code);
      },
      Qt::SingleShotConnection);
  sheet->open();
}

void Application::endSheet(QDialog* sheet, int returnCode) { sheet->done(returnCode); }

QDialog* Application::attachedSheet(const Window* window) const {
  for (QObject* child : window->children()) {
    auto* dialog = qobject_cast<QDialog*>(child);
    if (dialog && dialog->property("tessalySheetOf").value<QObject*>() == window) return dialog;
  }
  return nullptr;
}

void Application::terminate(QObject*) {
  if (terminating_ || ended_) return;
  terminating_ = true;
  reason_ = TerminationReason::User;
  auto proceed = [this](bool ok) {
    if (!ok) {
      terminating_ = false;
      return;
    }
    askDelegateToTerminate();
  };
  if (reviewer_)
    reviewer_(proceed);
  else
    proceed(true);
}

void Application::askDelegateToTerminate() {
  const auto reply =
      delegate_ ? delegate_->applicationShouldTerminate() : ApplicationDelegate::TerminateNow;
  if (reply == ApplicationDelegate::TerminateNow) finishTermination();
  if (reply == ApplicationDelegate::TerminateCancel) terminating_ = false;
}

void Application::replyToApplicationShouldTerminate(bool shouldTerminate) {
  if (!terminating_) return;
  if (shouldTerminate)
    finishTermination();
  else
    terminating_ = false;
}

void Application::terminateWithoutAsking(TerminationReason reason) {
  if (ended_) return;
  reason_ = reason;
  // The will-terminate steps are under way, perhaps in a question of the
  // delegate's: its modal loop ends unanswered and the steps go on.
  if (finishing_) {
    autosaveDocumentsForNextLaunch();
    if (QThread::currentThread()->loopLevel() > 0) QCoreApplication::exit(0);
    return;
  }
  terminating_ = true;
  autosaveDocumentsForNextLaunch();
  finishTermination();
}

void Application::autosaveDocumentsForNextLaunch() {
  if (DocumentController* controller = DocumentController::existingSharedDocumentController())
    controller->autosaveEditedDocumentsForNextLaunch();
}

void Application::finishTermination() {
  finishing_ = true;
  fnd::NotificationCenter::defaultCenter().postNotificationName(
      ApplicationWillTerminateNotification, this);
  if (delegate_) delegate_->applicationWillTerminate();
  closeDocuments();
  // Only with a running event loop: without one (as in tests) exit() would
  // still mark the thread as quitting, and every later modal loop would
  // return at once. exit() ends every loop of the thread, the modal ones
  // included, so no dialog on screen holds the program.
  if (QThread::currentThread()->loopLevel() > 0) {
    ended_ = true;
    QCoreApplication::exit(0);
  }
  finishing_ = false;
  terminating_ = false;
  if (!ended_) reason_ = TerminationReason::User;
}

// The documents were reviewed before the delegate agreed: they close now
// without asking, each with its windows, so every window controller lets go
// of what it observes as on any other close.
void Application::closeDocuments() {
  DocumentController* controller = DocumentController::existingSharedDocumentController();
  if (!controller) return;
  for (Document* document : controller->documents()) document->close();
}

void Application::windowCreated(Window* window) { windows_.append(window); }

void Application::windowDestroyed(Window* window) {
  windows_.removeAll(window);
  if (keyWindow_ == window || !keyWindow_) {
    keyWindow_ = nullptr;
    for (Window* w : windows_)
      if (w->isVisible()) return setKeyWindow(w);
    emit keyWindowChanged(nullptr);
  }
}

void Application::windowHidden(Window* window) {
  if (keyWindow_ == window) {
    Window* next = nullptr;
    for (Window* w : windows_)
      if (w != window && w->isVisible()) {
        next = w;
        break;
      }
    if (next) {
      setKeyWindow(next);
    } else {
      keyWindow_ = nullptr;
      window->resignKey();
      emit keyWindowChanged(nullptr);
      setNeedsValidation();
    }
  }
  // Windows closed by the termination itself must not start another one.
  if (!terminating_) QTimer::singleShot(0, this, &Application::terminateIfNoWindowIsShown);
}

void Application::terminateIfNoWindowIsShown() {
  if (terminating_ || ended_) return;
  for (Window* w : windows_)
    if (w->isVisible()) return;
  if (delegate_ && delegate_->applicationShouldTerminateAfterLastWindowClosed()) terminate();
}

void Application::setKeyWindow(Window* window) {
  if (keyWindow_ == window) return;
  Window* old = keyWindow_;
  keyWindow_ = window;
  windows_.removeAll(window);
  windows_.prepend(window);
  if (old) old->resignKey();
  window->becomeKey();
  emit keyWindowChanged(window);
  setNeedsValidation();
}

// A widget taking focus by the user's click or tab becomes its window's
// first responder when it (or the nearest responder above it) accepts.
void Application::focusChanged(QWidget*, QWidget* now) {
  Window* window = Window::ofWidget(now);
  if (!window) return;
  for (QWidget* w = now; w && w != window; w = w->parentWidget()) {
    auto* responder = dynamic_cast<Responder*>(w);
    if (responder && responder->acceptsFirstResponder()) {
      if (window->firstResponder() != responder) window->makeFirstResponder(responder);
      return;
    }
  }
}

// Menus holding menu items validate them each time before they open. A
// quit event is the session (or the platform) ending the program: Qt would
// close the windows one by one, each asking about its unsaved changes.
bool Application::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::Quit && watched == qApp) {
    terminateWithoutAsking(TerminationReason::Session);
    return true;
  }
  if (event->type() == QEvent::ActionAdded) {
    auto* menu = qobject_cast<QMenu*>(watched);
    if (menu && !menu->property(kWatchedMenu).toBool() &&
        dynamic_cast<MenuItem*>(static_cast<QActionEvent*>(event)->action())) {
      menu->setProperty(kWatchedMenu, true);
      connect(menu, &QMenu::aboutToShow, this, [this, menu] {
        for (QAction* action : menu->actions())
          if (auto* item = dynamic_cast<MenuItem*>(action)) validateItem(*item);
      });
    }
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace ui
