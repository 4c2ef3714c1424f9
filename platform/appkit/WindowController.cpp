#include "appkit/WindowController.h"

#include "appkit/Document.h"
#include "appkit/RestorableState.h"
#include "foundation/KeyedArchiver.h"
#include "foundation/KeyedUnarchiver.h"

namespace ui {

WindowController::WindowController() = default;

WindowController::WindowController(Window* window) { adoptWindow(window); }

WindowController::~WindowController() {
  if (window_) {
    window_->setDelegate(nullptr);
    window_->setWindowController(nullptr);
    delete window_;
  }
}

Window* WindowController::window() {
  if (!window_) {
    windowWillLoad();
    adoptWindow(loadWindow());
    windowDidLoad();
    synchronizeWindowTitleWithDocumentName();
  }
  return window_;
}

Window* WindowController::loadWindow() { return new Window; }

void WindowController::setWindow(Window* window) {
  if (window_ == window) return;
  if (window_) {
    window_->setDelegate(nullptr);
    window_->setWindowController(nullptr);
    window_->deleteLater();
  }
  window_ = nullptr;
  if (window) adoptWindow(window);
}

void WindowController::adoptWindow(Window* window) {
  window_ = window;
  window_->setWindowController(this);
  window_->setDelegate(this);
  window_->setNextResponder(this);
}

void WindowController::setDocument(Document* document) {
  document_ = document;
  setNextResponder(document);
  if (window_) synchronizeWindowTitleWithDocumentName();
}

void WindowController::showWindow() { window()->makeKeyAndOrderFront(); }

void WindowController::close() {
  if (!window_ || closing_ || !window_->isVisible()) return;
  closing_ = true;
  window_->close();
  closing_ = false;
}

QString WindowController::windowTitleForDocumentDisplayName(const QString& displayName) const {
  return displayName;
}

void WindowController::synchronizeWindowTitleWithDocumentName() {
  if (!window_ || !document_) return;
  // The edited mark belongs to the name, whatever the title adds after it.
  const QString name = document_->displayName();
  const QString title = windowTitleForDocumentDisplayName(name);
  const qsizetype at = name.isEmpty() ? -1 : title.indexOf(name);
  window_->setTitle(title, at < 0 ? -1 : at + name.size());
  window_->setDocumentEdited(document_->isDocumentEdited());
}

void WindowController::encodeRestorableStateWithCoder(fnd::KeyedArchiver& coder) {
  if (!window_) return;
  coder.encodeRect(QRectF(window_->normalGeometry()), QStringLiteral("frame"));
  coder.encodeBool(window_->isFullScreen(), QStringLiteral("fullScreen"));
}

void WindowController::restoreStateWithCoder(fnd::KeyedUnarchiver& coder) {
  restored_ = true;
  Window* w = window();
  const QRectF frame = coder.decodeRectForKey(QStringLiteral("frame"));
  if (frame.width() > 0 && frame.height() > 0) w->setGeometry(frame.toRect());
  if (coder.decodeBoolForKey(QStringLiteral("fullScreen"))) w->setWindowState(Qt::WindowFullScreen);
}

void WindowController::invalidateRestorableState() {
  if (restorationScheduled_) return;
  restorationScheduled_ = true;
  QMetaObject::invokeMethod(this, &WindowController::writeRestorableStateNow, Qt::QueuedConnection);
}

void WindowController::writeRestorableStateNow() {
  restorationScheduled_ = false;
  RestorableState::write(*this);
}

// The user closing the window: the document may ask to save first. Its
// answer may come at once (then it is returned here) or later from a
// sheet (then the window closes without asking again).
bool WindowController::windowShouldClose(Window*) {
  if (!document_ || closing_) return true;
  QPointer<WindowController> self(this);
  ++askingDepth_;
  answer_ = -1;
  document_->shouldCloseWindowController(this, [self](bool shouldClose) {
    if (!self) return;
    if (self->askingDepth_ > 0) {
      self->answer_ = shouldClose;
      return;
    }
    if (shouldClose) self->close();
  });
  --askingDepth_;
  return answer_ == 1;
}

// Every close, asked or not, ends here: the state is kept for the next
// opening and the document gives the controller up, closing itself when
// this was its last window or the one that owns it.
void WindowController::windowWillClose(Window*) {
  RestorableState::write(*this);
  Document* document = document_;
  if (!document || document->isClosed()) return;
  if (shouldCloseDocument_ || document->windowControllers().size() == 1)
    QMetaObject::invokeMethod(
        document, [document] { document->close(); }, Qt::QueuedConnection);
  else
    document->removeWindowController(this);
}

}  // namespace ui
