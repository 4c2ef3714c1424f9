// The program: the application and its delegate, the start-up sequence,
// then the files named on the command line (or a new document) and the
// event loop.
#include <QApplication>
#include <QFileInfo>
#include <QUrl>

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
  if (paths.isEmpty()) {
    fnd::Error error;
    if (!controller->openUntitledDocumentAndDisplay(true, &error)) controller->presentError(error);
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
  IMWindowController::installAsDocumentWindow();
  IMToolsController::installInDocumentWindows();

  app->finishLaunching();
  openDocuments(responder.documentController(), QApplication::arguments().mid(1));
  const int status = QApplication::exec();
  app->setDelegate(nullptr);
  return status;
}
