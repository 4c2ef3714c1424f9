// Fuzzes bringing an older document up to date before it opens: the fuzzed
// bytes are written as a store, checked, backed up and migrated; a store the
// migration accepts is then opened with the current model and its layers read.
#include <QDir>
#include <QFile>

#include "FuzzSupport.h"
#include "coredata/FetchRequest.h"
#include "coredata/ManagedObjectContext.h"
#include "coredata/PersistentStoreCoordinator.h"
#include "documents/IMAMigrationHelper.h"

namespace {

QString storePath() { return fuzz::privateFolder() + "/fuzzed.zova"; }
QString backupFolder() { return fuzz::privateFolder() + "/Old Versions"; }

void writeStore(const QByteArray& bytes) {
  for (const char* suffix : {"", "-journal", "-wal", "-shm"})
    QFile::remove(storePath() + QLatin1String(suffix));
  QDir(backupFolder()).removeRecursively();
  QFile file(storePath());
  if (file.open(QIODevice::WriteOnly)) file.write(bytes);
}

void readMigrated(const QUrl& url) {
  cd::PersistentStoreCoordinator coordinator(
      cd::ManagedObjectModel::mergedModelFromBundle(IMAMigrationHelper::modelBundle()));
  if (!coordinator.addPersistentStoreWithType(cd::SQLiteStoreType, {}, url, {})) return;
  cd::ManagedObjectContext context;
  context.setUsesPlainObjects(true);
  context.setPersistentStoreCoordinator(&coordinator);
  for (cd::ManagedObject* root : context.executeFetchRequest(cd::FetchRequest("ComposedImage")))
    for (cd::ManagedObject* layer : root->relatedObjects("layers")) {
      layer->valueForKey("name");
      layer->relatedObjects("filters");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool ready = [] {
    IMAMigrationHelper::setOldVersionsFolder(backupFolder());
    return true;
  }();
  (void)ready;
  writeStore(fuzz::bytes(data, size));
  const QUrl url = QUrl::fromLocalFile(storePath());
  if (IMAMigrationHelper::migrateIfNeededURL(url, IMAMigrationHelper::modelBundle(), nullptr))
    readMigrated(url);
  return 0;
}
