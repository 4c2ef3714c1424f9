#include "appkit/Window.h"

#include <QCloseEvent>

#include "appkit/Application.h"
#include "foundation/NotificationCenter.h"

namespace ui {

Window::Window(QWidget* parent) : QMainWindow(parent) {
  setAttribute(Qt::WA_DeleteOnClose, false);
  Responder::addAction(QStringLiteral("performClose:"), [this](QObject*) { performClose(); });
  Responder::addAction(QStringLiteral("toggleFullScreen:"),
                       [this](QObject*) { toggleFullScreen(); });
  Application::sharedApplication()->windowCreated(this);
}

Window::~Window() {
  if (auto* app = Application::existingApplication()) app->windowDestroyed(this);
}

Window* Window::ofWidget(const QWidget* widget) {
  for (const QWidget* w = widget; w; w = w->parentWidget())
    if (auto* window = qobject_cast<Window*>(const_cast<QWidget*>(w))) return window;
  return nullptr;
}

// Qt shows the edited mark at its placeholder; a placeholder that is part
// of the title itself is doubled, which Qt shows as it stands.
void Window::setTitle(const QString& title, qsizetype markAfter) {
  title_ = title;
  if (markAfter < 0 || markAfter > title.size()) markAfter = title.size();
  const auto escaped = [](QString part) {
    return part.replace(QStringLiteral("[*]"), QStringLiteral("[*][*]"));
  };
  setWindowTitle(escaped(title.left(markAfter)) + QStringLiteral("[*]") +
                 escaped(title.mid(markAfter)));
}

QString Window::shownTitle() const {
  const QString title = windowTitle();
  const QString placeholder = QStringLiteral("[*]");
  QString shown;
  bool marked = false;
  for (qsizetype i = 0; i < title.size();) {
    if (title.mid(i, 6) == placeholder + placeholder) {
      shown += placeholder;
      i += 6;
    } else if (title.mid(i, 3) == placeholder) {
      if (!marked && isWindowModified()) shown += u'*';
      marked = true;
      i += 3;
    } else {
      shown += title[i++];
    }
  }
  return shown;
}

Responder* Window::firstResponder() const {
  if (!firstResponder_) return const_cast<Window*>(this);
  if (firstResponderIsObject_ && !firstResponderObject_) return const_cast<Window*>(this);
  return firstResponder_;
}

bool Window::makeFirstResponder(Responder* responder) {
  if (responder == this) responder = nullptr;
  Responder* current = firstResponder();
  if (current == (responder ? responder : this)) return true;
  if (current != this && !current->resignFirstResponder()) return false;
  firstResponder_ = nullptr;
  firstResponderObject_ = nullptr;
  firstResponderIsObject_ = false;
  bool accepted = true;
  if (responder) {
    accepted = responder->acceptsFirstResponder() && responder->becomeFirstResponder();
    if (accepted) {
      firstResponder_ = responder;
      if (auto* object = dynamic_cast<QObject*>(responder)) {
        firstResponderObject_ = object;
        firstResponderIsObject_ = true;
        if (auto* widget = qobject_cast<QWidget*>(object); widget && !widget->hasFocus())
          widget->setFocus(Qt::OtherFocusReason);
      }
    }
  }
  Application::sharedApplication()->setNeedsValidation();
  return accepted;
}

bool Window::isKeyWindow() const { return Application::sharedApplication()->keyWindow() == this; }

void Window::makeKeyAndOrderFront() {
  show();
  raise();
  activateWindow();
  // The window manager may activate later or not at all (offscreen); the
  // program's notion of the key window must not wait for it.
  Application::sharedApplication()->setKeyWindow(this);
}

void Window::orderOut() {
  hide();
  Application::sharedApplication()->windowHidden(this);
}

bool Window::performClose() {
  if (delegate_ && !delegate_->windowShouldClose(this)) return false;
  close();
  return true;
}

void Window::close() {
  closingWithoutAsking_ = true;
  QMainWindow::close();
  closingWithoutAsking_ = false;
}

bool Window::event(QEvent* event) {
  if (event->type() == QEvent::WindowActivate) Application::sharedApplication()->setKeyWindow(this);
  return QMainWindow::event(event);
}

void Window::closeEvent(QCloseEvent* event) {
  if (!closingWithoutAsking_ && delegate_ && !delegate_->windowShouldClose(this)) {
    event->ignore();
    return;
  }
  if (delegate_) delegate_->windowWillClose(this);
  fnd::NotificationCenter::defaultCenter().postNotificationName(WindowWillCloseNotification, this);
  event->accept();
  Application::sharedApplication()->windowHidden(this);
}

void Window::resizeEvent(QResizeEvent* event) {
  QMainWindow::resizeEvent(event);
  if (delegate_) delegate_->windowDidResize(this);
}

void Window::moveEvent(QMoveEvent* event) {
  QMainWindow::moveEvent(event);
  if (delegate_) delegate_->windowDidMove(this);
}

void Window::becomeKey() {
  if (delegate_) delegate_->windowDidBecomeKey(this);
  fnd::NotificationCenter::defaultCenter().postNotificationName(WindowDidBecomeKeyNotification,
                                                                this);
}

void Window::resignKey() {
  if (delegate_) delegate_->windowDidResignKey(this);
  fnd::NotificationCenter::defaultCenter().postNotificationName(WindowDidResignKeyNotification,
                                                                this);
}

}  // namespace ui
