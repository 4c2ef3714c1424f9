// A document kept in an object store: its managed object context over a
// coordinator of the document model, the store attached when the file is
// read or first saved, saves that write the context into the store (in
// place as one SQLite transaction; under a new name, as a copy or as an
// autosave into a copy in the destination folder, renamed into place),
// reverting by reading the document's file again. Types the document controller does not declare
// native go through Document's reading and writing instead.
#pragma once

#include <memory>

#include "appkit/Document.h"
#include "coredata/ManagedObjectModel.h"

namespace cd {
class ManagedObjectContext;
class PersistentStore;
class PersistentStoreCoordinator;
}  // namespace cd

namespace ui {

class PersistentDocument : public Document {
  Q_OBJECT

 public:
  PersistentDocument();
  ~PersistentDocument() override;

  // The model of this document's stores; the default is the one set below.
  virtual cd::ManagedObjectModelPtr managedObjectModel() const;
  static void setDefaultManagedObjectModel(cd::ManagedObjectModelPtr model);

  // Made on first use over a coordinator of managedObjectModel(); its undo
  // manager is the document's.
  cd::ManagedObjectContext* managedObjectContext();
  // Replaces the context (the caller connects it to persistentStoreCoordinator()).
  virtual void setManagedObjectContext(std::unique_ptr<cd::ManagedObjectContext> context);
  cd::PersistentStoreCoordinator* persistentStoreCoordinator();
  // The store the context saves into, or null before the first save.
  cd::PersistentStore* persistentStore() const;

  // The store type for a file type: SQLite for the native types, empty for
  // the others (they are read and written as plain files).
  virtual QString persistentStoreTypeForFileType(const QString& fileType) const;
  // Attaches the store at `url`; subclasses add options or read other
  // types here. The default asks for the DELETE journal, so no companion
  // files stay beside the document.
  virtual bool configurePersistentStoreCoordinatorForURL(const QUrl& url, const QString& fileType,
                                                         const QString& configuration,
                                                         const QVariantMap& storeOptions,
                                                         fnd::Error* error);

  bool readFromURL(const QUrl& url, const QString& typeName, fnd::Error* error) override;
  // Saves the context into the store attached at `url`.
  bool writeToURL(const QUrl& url, const QString& typeName, SaveOperationType op,
                  const QUrl& originalContentsURL, fnd::Error* error) override;
  bool writeSafelyToURL(const QUrl& url, const QString& typeName, SaveOperationType op,
                        fnd::Error* error) override;
  bool moveToURL(const QUrl& url, fnd::Error* error) override;
  // The store lives on the autosaved copy (a document saved in another
  // format keeps working on it).
  bool autosavedContentsInUse() const override;

 private:
  bool writeStoreToNewFile(const QUrl& url, const QString& typeName, SaveOperationType op,
                           fnd::Error* error);
  bool detachStores(fnd::Error* error);
  fnd::Error storeFileGone(const QUrl& url) const;

  std::unique_ptr<cd::PersistentStoreCoordinator> coordinator_;
  std::unique_ptr<cd::ManagedObjectContext> context_;
};

}  // namespace ui
