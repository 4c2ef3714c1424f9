// A top-level window: a QMainWindow that is also a link of the responder
// chain. It keeps its first responder, tells its delegate about closing and
// becoming key, and knows the window controller that owns it.
#pragma once

#include <QMainWindow>
#include <QPointer>

#include "appkit/Responder.h"

namespace ui {

class Window;
class WindowController;

// Posted on fnd::NotificationCenter::defaultCenter() with the window as object.
inline const QString WindowDidBecomeKeyNotification =
    QStringLiteral("NSWindowDidBecomeKeyNotification");
inline const QString WindowDidResignKeyNotification =
    QStringLiteral("NSWindowDidResignKeyNotification");
inline const QString WindowWillCloseNotification = QStringLiteral("NSWindowWillCloseNotification");

class WindowDelegate {
 public:
  virtual ~WindowDelegate() = default;
  // Asked when the user closes the window (or performClose runs).
  virtual bool windowShouldClose(Window*) { return true; }
  // Called on every close, asked or not.
  virtual void windowWillClose(Window*) {}
  virtual void windowDidBecomeKey(Window*) {}
  virtual void windowDidResignKey(Window*) {}
  virtual void windowDidResize(Window*) {}
  virtual void windowDidMove(Window*) {}

  // ---- Full screen ----
  // The windows a delegate animates itself when its window enters or leaves
  // full screen; none lets the window switch at once.
  virtual QList<Window*> customWindowsToEnterFullScreenForWindow(Window*) { return {}; }
  virtual QList<Window*> customWindowsToExitFullScreenForWindow(Window*) { return {}; }
  // The delegate's own transitions, `duration` seconds long: entering sets
  // the window's full-screen mask and moves its frame to the screen's,
  // leaving clears the mask and moves the frame back.
  virtual void windowStartCustomAnimationToEnterFullScreenWithDuration(Window*, double) {}
  virtual void windowStartCustomAnimationToExitFullScreenWithDuration(Window*, double) {}
  virtual unsigned windowWillUseFullScreenPresentationOptions(Window*, unsigned proposed) {
    return proposed;
  }
  // The window manager (or a restoration) changed the full-screen state
  // without a transition of the delegate's.
  virtual void windowDidChangeFullScreenState(Window*) {}
};

class Window : public QMainWindow, public Responder {
  Q_OBJECT
  // What an animation group moves to change the frame.
  Q_PROPERTY(QRect frame READ frame WRITE setFrameNow)

 public:
  explicit Window(QWidget* parent = nullptr);
  ~Window() override;

  // The ui::Window holding `widget` (the widget itself included), or null.
  static Window* ofWidget(const QWidget* widget);

  QString title() const { return title_; }
  // The edited mark goes after the first `markAfter` characters (the
  // document's name within the title), or after the whole title when
  // `markAfter` is negative or past its end.
  void setTitle(const QString& title, qsizetype markAfter = -1);
  // The title as the window manager shows it, edited mark included.
  QString shownTitle() const;
  // The edited mark shown next to the document's name in the title.
  bool isDocumentEdited() const { return isWindowModified(); }
  void setDocumentEdited(bool edited) { setWindowModified(edited); }

  // The central widget; the window owns it.
  QWidget* contentView() const { return centralWidget(); }
  void setContentView(QWidget* view) { setCentralWidget(view); }

  // The window itself when no other responder holds the role.
  Responder* firstResponder() const;
  // The current first responder resigns and `responder` (null: the window)
  // becomes it; false when either refuses, the window then holding the role
  // if the new one refused. A responder that is a QWidget also gets focus.
  bool makeFirstResponder(Responder* responder);

  WindowDelegate* delegate() const { return delegate_; }
  void setDelegate(WindowDelegate* delegate) { delegate_ = delegate; }
  WindowController* windowController() const { return windowController_; }
  void setWindowController(WindowController* controller) { windowController_ = controller; }

  // The window receiving keys and nil-targeted actions.
  bool isKeyWindow() const;
  void makeKeyAndOrderFront();
  void orderOut();
  // ---- Frame and full screen ----
  // The window's rectangle on the screen (y down).
  QRect frame() const { return geometry(); }
  // Sets the frame at once, or over an animation group of its own when
  // `animate` (and animations are on); `display` repaints at once.
  void setFrame(const QRect& frame, bool display, bool animate);
  void setFrameNow(const QRect& frame);
  // The screen's area left to windows (panels and docks excepted); the
  // empty rectangle when the window is on no screen.
  QRect screenVisibleFrame() const;
  QRect screenFrame() const;

  // Whether the window has the full-screen mask: set as a transition into
  // full screen begins, cleared as one out of it begins.
  bool isInFullScreenMode() const { return fullScreenMask_; }
  // Sets or clears the mask. Cleared, the window leaves the window
  // manager's full screen at once; set, it enters it when its frame has
  // reached the whole screen (at the end of the delegate's animation).
  void setFullScreenMask(bool on);
  // Enters or leaves full screen, through the delegate's transition when it
  // animates this window itself; the action "toggleFullScreen:" does this.
  void toggleFullScreen();
  // The length of a full-screen transition, in seconds.
  static double fullScreenTransitionDuration() { return 0.5; }
  unsigned fullScreenPresentationOptions() const { return presentationOptions_; }

  // Asks the delegate, then closes; false when it refused.
  bool performClose();
  // Closes without asking the delegate (it still hears windowWillClose).
  // Hides QWidget::close, which asks like performClose.
  void close();

 protected:
  bool event(QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void moveEvent(QMoveEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  friend class Application;
  void becomeKey();
  void resignKey();

  QString title_;
  Responder* firstResponder_ = nullptr;
  // Set when the first responder is a QObject, so its destruction is seen.
  QPointer<QObject> firstResponderObject_;
  bool firstResponderIsObject_ = false;
  WindowDelegate* delegate_ = nullptr;
  WindowController* windowController_ = nullptr;
  bool closingWithoutAsking_ = false;
  bool fullScreenMask_ = false;
  bool switchingFullScreenState_ = false;
  unsigned presentationOptions_ = 0;
};

}  // namespace ui
