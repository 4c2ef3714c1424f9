#include "documents/IMDocumentController.h"

#include <QFileInfo>
#include <QtDebug>

#include "appkit/UserInterfaceItem.h"
#include "appkit/WindowController.h"
#include "appkit/core/Pasteboard.h"
#include "documents/IMAMigrationHelper.h"
#include "documents/IMDocument.h"
#include "documents/IMPasteDestination.h"
#include "foundation/Localized.h"
#include "foundation/UserDefaults.h"

namespace {

const QString kNewDocumentFromPasteboard = QStringLiteral("newDocumentFromPasteboard:");
// Seconds of pause in the editing before an edited document is autosaved.
constexpr double kAutosavingDelay = 30;

}  // namespace

IMDocumentController::IMDocumentController() {
  setDocumentClass([] { return std::make_unique<IMDocument>(); });
  setAutosavingDelay(kAutosavingDelay);
  addAction(kNewDocumentFromPasteboard,
            [this](QObject* sender) { newDocumentFromPasteboard(sender); });
}

bool IMDocumentController::openImagesInZova() {
  const QVariant value =
      fnd::UserDefaults::standardUserDefaults().objectForKey(QStringLiteral("IMOpenImagesInZova"));
  return !value.isValid() || value.toBool();
}

IMDocument* IMDocumentController::loneEmptyDocument() const {
  const QList<ui::Document*> open = documents();
  if (open.size() != 1) return nullptr;
  auto* document = qobject_cast<IMDocument*>(open.first());
  return document && !document->isDocumentEdited() && document->isEmpty() ? document : nullptr;
}

std::unique_ptr<ui::Document> IMDocumentController::makeDocumentWithContentsOfURL(
    const QUrl& url, const QString& typeName, fnd::Error* error) {
  IMDocument* lone = loneEmptyDocument();
  const bool native = typeName == IMNativeDocumentType;
  if (native) {
    fnd::Error migration;
    if (!IMAMigrationHelper::migrateIfNeededURL(url, IMAMigrationHelper::modelBundle(),
                                                &migration)) {
      qWarning().noquote() << (migration.isNull() ? QStringLiteral("Migration Error.")
                                                  : migration.localizedDescription());
      fnd::fail(error, migration);
      return nullptr;
    }
    fnd::Error coherency;
    if (!IMDocument::testDocumentCoherencyWithContentsOfURL(url, &coherency)) {
      const QString text =
          fnd::localized("The image file %1 is missing some required informations.")
              .arg(url.toString());
      qWarning().noquote()
          << QStringLiteral("%1 - error : %2").arg(text, coherency.localizedDescription());
      fnd::fail(error, coherency);
      return nullptr;
    }
  }
  std::unique_ptr<ui::Document> document;
  if (native || !openImagesInZova()) {
    document = ui::DocumentController::makeDocumentWithContentsOfURL(url, typeName, error);
  } else {
    document = makeUntitledDocumentOfType(IMNativeDocumentType, error);
    auto* imported = qobject_cast<IMDocument*>(document.get());
    // A file that yields no image opens nothing: the user is told why
    // instead of getting an empty window.
    if (!imported || !imported->addImageAtURL(url, typeName, error)) return nullptr;
    imported->setDisplayName(QFileInfo(url.toLocalFile()).completeBaseName());
  }
  if (document && lone) lone->close();
  return document;
}

bool IMDocumentController::pasteboardHasImage() {
  return !ui::Pasteboard::generalPasteboard()
              .readObjectsForClasses({ui::PasteboardClass::Image})
              .isEmpty();
}

void IMDocumentController::newDocumentFromPasteboard(QObject* sender) {
  auto* document = qobject_cast<IMDocument*>(currentDocument());
  if (!document || !document->isEmpty()) {
    // The document just made, whether or not its window is key yet.
    const qsizetype before = documents().size();
    newDocument(sender);
    document = documents().size() > before ? qobject_cast<IMDocument*>(documents().last())
                                           : nullptr;
  }
  if (!document || document->windowControllers().isEmpty()) return;
  ui::WindowController* controller = document->windowControllers().last();
  auto paste = [controller, sender] { controller->tryToPerform(QStringLiteral("paste:"), sender); };
  auto* destination = dynamic_cast<IMPasteDestination*>(controller);
  if (!destination || destination->isLayersPanelLoaded())
    paste();
  else
    destination->setLayersPanelLoadedCallback(paste);
}

bool IMDocumentController::validateUserInterfaceItem(const ui::UserInterfaceItem& item) {
  if (item.action() == kNewDocumentFromPasteboard) return pasteboardHasImage();
  return ui::DocumentController::validateUserInterfaceItem(item);
}
