// A window controller: owns one window, links it to its document in the
// responder chain (window -> controller -> document), keeps the title in
// step with the document's name and edited state, routes the user's close
// through the document, and saves and restores the window's state.
#pragma once

#include <QObject>
#include <QPointer>

#include "appkit/Responder.h"
#include "appkit/Window.h"

namespace fnd {
class KeyedArchiver;
class KeyedUnarchiver;
}  // namespace fnd

namespace ui {

class Document;

class WindowController : public QObject, public Responder, public WindowDelegate {
  Q_OBJECT

 public:
  // Without a window: window() makes one through loadWindow on first use.
  WindowController();
  // Takes `window` (it becomes owned by the controller).
  explicit WindowController(Window* window);
  ~WindowController() override;

  // Loads the window on first use: windowWillLoad, loadWindow, windowDidLoad.
  Window* window();
  bool isWindowLoaded() const { return window_ != nullptr; }
  void setWindow(Window* window);

  Document* document() const { return document_; }
  // Set by the document that adds the controller.
  virtual void setDocument(Document* document);

  void showWindow();
  // Closes the window without asking; the document drops the controller
  // (and closes when it was its last one).
  void close();

  // Whether closing this window closes the document even when it has others.
  bool shouldCloseDocument() const { return shouldCloseDocument_; }
  void setShouldCloseDocument(bool value) { shouldCloseDocument_ = value; }

  // The title for the document's name; the default is the name itself.
  virtual QString windowTitleForDocumentDisplayName(const QString& displayName) const;
  // Title and edited mark from the document.
  void synchronizeWindowTitleWithDocumentName();

  // Restorable state, written with the keyed archiver. The base encodes the
  // window's frame; subclasses add their own keys after calling it.
  virtual void encodeRestorableStateWithCoder(fnd::KeyedArchiver& coder);
  virtual void restoreStateWithCoder(fnd::KeyedUnarchiver& coder);
  // Schedules writing the state (coalesced, on the event loop).
  void invalidateRestorableState();
  bool isWindowRestored() const { return restored_; }

  // WindowDelegate.
  bool windowShouldClose(Window* window) override;
  void windowWillClose(Window* window) override;
  void windowDidResize(Window*) override { invalidateRestorableState(); }
  void windowDidMove(Window*) override { invalidateRestorableState(); }

 protected:
  virtual void windowWillLoad() {}
  // Makes the window when none was given; the default makes a plain one.
  virtual Window* loadWindow();
  virtual void windowDidLoad() {}

 private:
  friend class RestorableState;
  void adoptWindow(Window* window);
  void writeRestorableStateNow();

  Window* window_ = nullptr;
  Document* document_ = nullptr;
  bool shouldCloseDocument_ = false;
  bool restorationScheduled_ = false;
  bool restored_ = false;
  bool closing_ = false;
  int askingDepth_ = 0;
  int answer_ = -1;  // the document's answer when it came during windowShouldClose
};

}  // namespace ui
