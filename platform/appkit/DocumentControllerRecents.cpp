// DocumentController: the recent-documents list of the File menu, kept in
// the user defaults as file URLs, most recent first.
#include <QMenu>

#include "appkit/Document.h"
#include "appkit/DocumentController.h"
#include "foundation/Localized.h"
#include "foundation/UserDefaults.h"

namespace ui {

namespace {
const QString kRecentDocuments = QStringLiteral("RecentDocumentURLs");
}

QList<QUrl> DocumentController::recentDocumentURLs() const {
  QList<QUrl> urls;
  for (const QVariant& v : fnd::UserDefaults::standardUserDefaults().arrayForKey(kRecentDocuments))
    urls.append(QUrl(v.toString()));
  return urls;
}

void DocumentController::noteNewRecentDocumentURL(const QUrl& url) {
  if (!url.isLocalFile()) return;
  QList<QUrl> urls = recentDocumentURLs();
  urls.removeAll(url);
  urls.prepend(url);
  QVariantList stored;
  for (const QUrl& u : urls.mid(0, maximumRecentDocumentCount())) stored.append(u.toString());
  fnd::UserDefaults::standardUserDefaults().setObject(stored, kRecentDocuments);
}

void DocumentController::noteNewRecentDocument(Document* document) {
  if (!document->fileURL().isEmpty()) noteNewRecentDocumentURL(document->fileURL());
}

void DocumentController::clearRecentDocuments(QObject*) {
  fnd::UserDefaults::standardUserDefaults().removeObjectForKey(kRecentDocuments);
}

QMenu* DocumentController::makeRecentDocumentsMenu(QWidget* parent) {
  auto* menu = new QMenu(fnd::localized("Open Recent"), parent);
  connect(menu, &QMenu::aboutToShow, this, [this, menu] {
    menu->clear();
    for (const QUrl& url : recentDocumentURLs())
      menu->addAction(url.fileName(), this, [this, url] {
        openDocumentWithContentsOfURL(url, true, [this](Document*, bool, const fnd::Error* error) {
          if (error) presentError(*error);
        });
      });
    menu->addSeparator();
    QAction* clear = menu->addAction(fnd::localized("Clear Menu"), this,
                                     [this] { clearRecentDocuments(nullptr); });
    clear->setEnabled(!recentDocumentURLs().isEmpty());
  });
  return menu;
}

}  // namespace ui
