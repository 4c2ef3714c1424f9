// The program: the application and its delegate, the start-up sequence,
// then, from the running event loop, the documents a previous run left
// unsaved, the files named on the command line (or a new document).
#include <QApplication>
#include <QFileInfo>
#include <QTimer>
#include <QUrl>

#include "ScriptedSession.h"
#include "SignalTermination.h"
#include "appkit/Application.h"
#include "appkit/DocumentController.h"
#include "foundation/Error.h"
#include "model/ImagesCacheFolder.h"
#include "tools/IMToolsController.h"
#include "window/IMAppResponder.h"
#include "window/IMWindowController.h"

namespace {

void openDocuments(ui::DocumentController* controller, const QStringList& paths) {
  const int reopened = controller->reopenAutosavedDocuments();
  if (paths.isEmpty()) {
    fnd::Error error;
    if (reopened == 0 && !controller->openUntitledDocumentAndDisplay(true, &error))
      controller->presentError(error);
    return;
  }
  for (const QString& path : paths) {
    const QUrl url = QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath());
    controller->openDocumentWithContentsOfURL(
        url, true, [controller](ui::Document*, bool, const fnd::Error* error) {
          if (error) controller->presentError(*error);
        });
  }
}

}  // namespace

int main(int argc, char** argv) {
  QApplication qtApp(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Tessaly"));
  QApplication::setApplicationVersion(QStringLiteral(TESSALY_VERSION));
  QApplication::setDesktopFileName(QStringLiteral("com.brenwick.tessaly"));
  // Image caches of earlier runs that were killed would stay until logout.
  ImagesCacheFolder::removeStaleFolders();

  ui::Application* app = ui::Application::sharedApplication();
  IMAppResponder responder;
  app->setDelegate(&responder);
  responder.awakeFromNib();
  SignalTermination signalTermination;
  ScriptedSession scripted;
  IMWindowController::installAsDocumentWindow();
  IMToolsController::installInDocumentWindows();

  app->finishLaunching();
  // From inside the event loop: an error alert about a file then runs its
  // modal loop within it, so a signal ends the program there too, and a
  // start that opened no window ends as closing the last window does.
  QTimer::singleShot(0, app, [&] {
    openDocuments(responder.documentController(), QApplication::arguments().mid(1));
    app->terminateIfNoWindowIsShown();
    scripted.start();
  });
  const int status = QApplication::exec();
  app->setDelegate(nullptr);
  return status;
}
