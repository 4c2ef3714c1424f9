// Bringing a store written by an older version of the program up to the
// current model before it opens: the store is copied into the "Old
// Versions" folder, the copy migrated into a new file beside it, checked,
// and moved into the store's place. The store file itself changes only by
// that last move, so a failure at any step leaves the user's file as it was.
#pragma once

#include <QString>
#include <QUrl>

#include "coredata/ManagedObjectModel.h"
#include "foundation/Error.h"

class IMAMigrationHelper {
 public:
  // The resource folder of the program's model versions and mappings.
  static QString modelBundle();

  // True when the store can be opened with the current model afterwards;
  // false with an error saying what went wrong.
  static bool migrateIfNeededURL(const QUrl& url, const QString& bundle, fnd::Error* error);
  // A copy of the file in the backup folder, under a name no earlier backup
  // has; empty with an error when the copy fails.
  static QUrl backUpURL(const QUrl& url, fnd::Error* error);
  // True when nothing is left at the URL.
  static bool removeIfExists(const QUrl& url, fnd::Error* error);

  static bool ima_checkPersistentStoreValidityAtURL(const cd::ManagedObjectModelPtr& model,
                                                    const QUrl& url, fnd::Error* error);
  static bool ima_tryToSavePersistentStoreAtURL(const cd::ManagedObjectModelPtr& model,
                                                const QUrl& url, fnd::Error* error);

  // "Old Versions" in the user's documents folder, unless set otherwise.
  static QString oldVersionsFolder();
  static void setOldVersionsFolder(const QString& folder);
};
