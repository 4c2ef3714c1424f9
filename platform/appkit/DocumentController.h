// The document controller: the open documents, the types the program
// declares (its own store format and every image type the image-file layer
// reads), type detection by content and extension, making new and opened
// documents, the File menu's new, open and recent-documents commands, and
// reviewing unsaved documents before the application terminates.
#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QUrl>
#include <functional>
#include <memory>
#include <vector>

#include "appkit/DocumentType.h"
#include "appkit/Responder.h"
#include "appkit/SaveOperationType.h"
#include "foundation/Error.h"

class QMenu;

namespace ui {

class Document;
class Window;

class DocumentController : public QObject, public Responder {
  Q_OBJECT

 public:
  using DocumentClass = std::function<std::unique_ptr<Document>()>;
  using OpenCompletion =
      std::function<void(Document* document, bool wasAlreadyOpen, const fnd::Error* error)>;

  // The first controller made becomes the shared one and the last link of
  // the application's responder chain.
  DocumentController();
  ~DocumentController() override;

  // The shared controller, made as a plain one when none exists yet.
  static DocumentController* sharedDocumentController();
  static DocumentController* existingSharedDocumentController();

  QList<Document*> documents() const;
  // The document of the key window, or null.
  Document* currentDocument() const;
  Document* documentForURL(const QUrl& url) const;
  Document* documentForWindow(const Window* window) const;
  // The controller owns added documents; removed ones are deleted later.
  void addDocument(std::unique_ptr<Document> document);
  void removeDocument(Document* document);

  QList<DocumentType> documentTypes() const { return types_; }
  // The program's own type.
  QString defaultType() const;
  bool isNativeType(const QString& typeName) const;
  QStringList fileExtensionsFromType(const QString& typeName) const;
  QString typeFromFileExtension(const QString& extension) const;
  QString displayNameForType(const QString& typeName) const;
  // Types offered when saving a document of `typeName`: its own first, then
  // the other writable ones.
  virtual QStringList writableTypesForSaveOperation(SaveOperationType op,
                                                    const QString& typeName) const;
  // By content first (an SQLite store is the program's own type, image
  // headers name their format), then by extension; an error names the file
  // when neither tells.
  virtual QString typeForContentsOfURL(const QUrl& url, fnd::Error* error) const;

  // Every type uses the class set here (none: documents cannot be made).
  void setDocumentClass(DocumentClass documentClass) { documentClass_ = std::move(documentClass); }
  virtual DocumentClass documentClassForType(const QString& typeName) const;

  virtual std::unique_ptr<Document> makeUntitledDocumentOfType(const QString& typeName,
                                                               fnd::Error* error);
  virtual std::unique_ptr<Document> makeDocumentWithContentsOfURL(const QUrl& url,
                                                                  const QString& typeName,
                                                                  fnd::Error* error);
  // Made, added, given its windows and shown when `display`.
  Document* openUntitledDocumentAndDisplay(bool display, fnd::Error* error);
  // An open document for the URL is shown again; otherwise the file is
  // typed, read, added, given its windows (their saved state restored) and
  // shown. The completion runs before this returns.
  void openDocumentWithContentsOfURL(const QUrl& url, bool display, OpenCompletion completion);
  // The name of the next untitled document: "Untitled", "Untitled 2", ...
  QString nextUntitledDocumentName();

  // Actions of the File menu.
  void newDocument(QObject* sender);
  void openDocument(QObject* sender);
  void clearRecentDocuments(QObject* sender);
  // The folder the Open panel starts in: the one the user last opened a
  // file from while it exists, else the Pictures folder, else home.
  QUrl openPanelDirectoryURL() const;
  void noteOpenPanelDirectory(const QUrl& chosenFile);

  // Recent documents, most recent first, kept in the user defaults.
  QList<QUrl> recentDocumentURLs() const;
  void noteNewRecentDocumentURL(const QUrl& url);
  void noteNewRecentDocument(Document* document);
  int maximumRecentDocumentCount() const { return 10; }
  // A menu that lists them each time it opens, with "Clear Menu" last.
  QMenu* makeRecentDocumentsMenu(QWidget* parent);

  bool hasEditedDocuments() const;
  // Asks each edited document in turn; stops at the first that refuses.
  void reviewUnsavedDocuments(std::function<void(bool proceed)> completion);
  void closeAllDocuments(std::function<void(bool didCloseAll)> completion);

  virtual fnd::Error willPresentError(const fnd::Error& error) { return error; }
  bool presentError(const fnd::Error& error);

  // Seconds of pause in the editing after which an edited document is
  // autosaved; 0 turns autosaving off.
  double autosavingDelay() const { return autosavingDelay_; }
  void setAutosavingDelay(double seconds) { autosavingDelay_ = seconds; }
  // Autosaves every edited document, asking nothing, and keeps the copies
  // for the next start; for an end that cannot wait for the user. False
  // when a document's changes could not be written (each is tried).
  bool autosaveEditedDocumentsForNextLaunch();
  // Opens, edited, each document whose autosaved copy a previous run left
  // behind (killed, crashed, or ended with its session), at its own file
  // and name; answers how many opened.
  int reopenAutosavedDocuments();

  bool validateUserInterfaceItem(const UserInterfaceItem& item) override;

 protected:
  void setDocumentTypes(QList<DocumentType> types) { types_ = std::move(types); }

 private:
  void reviewFrom(QList<QPointer<Document>> queue, std::function<void(bool)> completion);

  std::vector<std::unique_ptr<Document>> documents_;
  QList<DocumentType> types_;
  DocumentClass documentClass_;
  int untitledCount_ = 0;
  double autosavingDelay_ = 0;
};

}  // namespace ui
