#include "documents/IMAMigrationHelper.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <cstdio>

#include "coredata/FetchRequest.h"
#include "coredata/ManagedObjectContext.h"
#include "coredata/MappingModel.h"
#include "coredata/MigrationManager.h"
#include "coredata/PersistentStoreCoordinator.h"
#include "coredata/SQLiteJournal.h"
#include "coredata/StoreMetadata.h"
#include "documents/MigrationPolicies.h"
#include "foundation/Localized.h"
#include "foundation/PropertyList.h"
#include "model/IMManagedObject.h"

static void initMigrationResources() { Q_INIT_RESOURCE(migration); }

namespace {

const QString ErrorDomain = QStringLiteral("Tessaly");
QString& folderOverride() {
  static QString folder;
  return folder;
}

QVariantMap checkOptions() {
  return {{cd::SQLitePragmasOption, QVariantMap{{"journal_mode", "DELETE"}}},
          {cd::MigratePersistentStoresAutomaticallyOption, true},
          {cd::InferMappingModelAutomaticallyOption, true},
          {cd::IgnorePersistentStoreVersioningOption, true}};
}

bool failWith(fnd::Error* error, const QString& domain, int code, const QString& description,
              const fnd::Error& cause = {}) {
  QVariantMap info{{fnd::LocalizedDescriptionKey, description}};
  if (!cause.isNull()) info.insert(fnd::UnderlyingErrorKey, QVariant::fromValue(cause));
  return fnd::fail(error, fnd::Error(domain, code, info));
}

// Whether the user may read and rewrite the file. A file its owner marked
// read-only is left alone even by a user whom the system would let write it.
bool readableAndWritable(const QFileInfo& file) {
  if (!file.isReadable() || !file.isWritable()) return false;
  return file.ownerId() != ::getuid() || file.permission(QFile::WriteOwner);
}

// A text with its "%@" places filled in order.
QString filled(QString text, const QStringList& values) {
  for (const QString& value : values) {
    const qsizetype at = text.indexOf("%@");
    if (at < 0) break;
    text.replace(at, 2, value);
  }
  return text;
}

bool notReadableAndWritable(fnd::Error* error) {
  return fnd::fail(error,
                   fnd::Error(ErrorDomain, 1,
                              {{fnd::LocalizedDescriptionKey,
                                fnd::localized("The image file is not readable and writable.")},
                               {fnd::LocalizedRecoverySuggestionKey,
                                fnd::localized("Please give full read write access to it and "
                                               "retry to open it.")}}));
}

// The entity names a store's version hashes cover.
QStringList hashedEntities(const QVariantMap& metadata) {
  QStringList names = metadata.value(cd::StoreMetadata::ModelVersionHashesKey).toMap().keys();
  names.sort();
  return names;
}

// The model version that wrote a store of `metadata`; failing that, the
// first version, for a store of the first version's entities whose hashes
// only the "v1Metadata" list knows. A store of other entities was written by
// a version this program does not know, and gets no model.
cd::ManagedObjectModelPtr sourceModelFor(const QString& bundle, const QVariantMap& metadata) {
  if (auto model = cd::ManagedObjectModel::mergedModelFromBundle(bundle, metadata)) return model;
  QFile file(QDir(bundle).filePath("v1Metadata.plist"));
  if (!file.open(QIODevice::ReadOnly)) return nullptr;
  const QVariantMap first = fnd::PropertyList::propertyListWithData(file.readAll()).toMap();
  if (hashedEntities(metadata) != hashedEntities(first)) return nullptr;
  QVariantMap patched = metadata;
  patched.remove(cd::StoreMetadata::ModelVersionHashesKey);
  for (auto entry = first.begin(); entry != first.end(); ++entry)
    patched.insert(entry.key(), entry.value());
  return cd::ManagedObjectModel::mergedModelFromBundle(bundle, patched);
}

// A context of plain objects on its own coordinator for one check of a store.
struct CheckedStore {
  CheckedStore(const cd::ManagedObjectModelPtr& model, const QUrl& url, fnd::Error* error)
      : coordinator(model) {
    attached = coordinator.addPersistentStoreWithType(cd::SQLiteStoreType, {}, url, checkOptions(),
                                                      error) != nullptr;
    context.setUsesPlainObjects(true);
    context.setPersistentStoreCoordinator(&coordinator);
  }
  cd::PersistentStoreCoordinator coordinator;
  cd::ManagedObjectContext context;
  bool attached = false;
};

// Puts the contents of `from` in place of `to` in one step, so a reader
// sees the old file or the new one, never neither. `from` may be on another
// file system: it is copied into a new file beside `to` first, which is
// renamed within that folder. The new file keeps the mode of `to`.
bool replaceItem(const QString& to, const QString& from, fnd::Error* error) {
  const QFileInfo target(to);
  struct stat existing;
  const bool known = ::stat(QFile::encodeName(to).constData(), &existing) == 0;
  QTemporaryFile copy(
      target.dir().filePath(QStringLiteral(".%1.migrating-XXXXXX").arg(target.fileName())));
  QFile source(from);
  bool ok = copy.open() && source.open(QIODevice::ReadOnly);
  while (ok && !source.atEnd()) {
    const QByteArray chunk = source.read(1 << 20);
    ok = !chunk.isEmpty() && copy.write(chunk) == chunk.size();
  }
  ok = ok && copy.flush() && ::fsync(copy.handle()) == 0 &&
       (!known || ::fchmod(copy.handle(), existing.st_mode & 07777) == 0) &&
       std::rename(QFile::encodeName(copy.fileName()).constData(),
                   QFile::encodeName(to).constData()) == 0;
  if (ok) {
    copy.setAutoRemove(false);
    QFile::remove(from);
    return true;
  }
  return failWith(error, fnd::CocoaErrorDomain, fnd::FileWriteUnknownError,
                  QStringLiteral("%1 could not replace %2.").arg(from, to));
}

// Whether two files hold the same bytes.
bool sameContents(const QString& a, const QString& b) {
  QFile x(a), y(b);
  if (!x.open(QIODevice::ReadOnly) || !y.open(QIODevice::ReadOnly) || x.size() != y.size())
    return false;
  while (!x.atEnd())
    if (x.read(1 << 20) != y.read(1 << 20)) return false;
  return true;
}

bool migrate(const cd::ManagedObjectModelPtr& source, const cd::ManagedObjectModelPtr& current,
             const cd::MappingModel& mapping, const QUrl& backup, const QUrl& migrated,
             fnd::Error* error) {
  cd::MigrationManager manager(source, current);
  return manager.migrateStoreFromURL(backup, cd::SQLiteStoreType, {}, mapping, migrated,
                                     cd::SQLiteStoreType, {}, error);
}

}  // namespace

QString IMAMigrationHelper::modelBundle() {
  // The current version's files come with the model's resources.
  IMManagedObject::managedObjectModel();
  initMigrationResources();
  registerMigrationPolicies();
  const QString bundle = QStringLiteral(":/models");
  cd::ManagedObjectModel::registerBundle(bundle);
  return bundle;
}

QString IMAMigrationHelper::oldVersionsFolder() {
  if (!folderOverride().isEmpty()) return folderOverride();
  return QDir(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation))
      .filePath("Old Versions");
}

void IMAMigrationHelper::setOldVersionsFolder(const QString& folder) { folderOverride() = folder; }

bool IMAMigrationHelper::migrateIfNeededURL(const QUrl& url, const QString& bundle,
                                            fnd::Error* error) {
  fnd::Error failure;
  cd::ManagedObjectModelPtr current =
      cd::ManagedObjectModel::mergedModelFromBundle(bundle, &failure);
  if (!current) return fnd::fail(error, failure);
  // A save that never finished is undone first, so neither the check nor
  // the backup reads a file that is half one save and half the next.
  cd::SQLiteJournal::rollBack(url.toLocalFile(), nullptr);
  const QVariantMap metadata = cd::PersistentStoreCoordinator::metadataForPersistentStoreOfType(
      cd::SQLiteStoreType, url, &failure);
  if (!failure.isNull()) return fnd::fail(error, failure);
  if (current->isConfigurationCompatibleWithStoreMetadata(metadata)) return true;

  if (!readableAndWritable(QFileInfo(url.toLocalFile()))) return notReadableAndWritable(error);
  // What the store needs is settled before any copy is made, so a store this
  // program cannot update leaves nothing behind in "Old Versions".
  cd::ManagedObjectModelPtr source = sourceModelFor(bundle, metadata);
  if (!source)
    return failWith(error, fnd::CocoaErrorDomain, fnd::MigrationMissingSourceModelError,
                    fnd::localized("The image file was made by an unknown or newer version of "
                                   "Tessaly."));
  std::optional<cd::MappingModel> mapping =
      cd::MappingModel::mappingModelFromBundle(bundle, *source, *current);
  if (!mapping)
    return failWith(error, fnd::CocoaErrorDomain, fnd::MigrationMissingMappingModelError,
                    fnd::localized("The image file was made by a version of Tessaly whose "
                                   "files cannot be updated."));
  const QUrl backup = backUpURL(url, error);
  if (backup.isEmpty()) return false;
  const QUrl migrated = QUrl::fromLocalFile(backup.toLocalFile() + ".migrated");
  if (!removeIfExists(migrated, error)) return false;

  bool done = migrate(source, current, *mapping, backup, migrated, &failure);
  if (!done && ima_tryToSavePersistentStoreAtURL(source, backup, nullptr))
    done = migrate(source, current, *mapping, backup, migrated, &failure);
  if (!done) {
    // The user's file stays as it was; the backup stays for them too.
    qWarning("Migration Failed with error : %s", qPrintable(failure.localizedDescription()));
    removeIfExists(migrated, nullptr);
    return fnd::fail(error, failure);
  }
  if (!ima_checkPersistentStoreValidityAtURL(current, migrated, &failure)) {
    removeIfExists(migrated, nullptr);
    return failWith(error, ErrorDomain, 0, fnd::localized("The updated image file is not valid."),
                    failure);
  }
  if (replaceItem(url.toLocalFile(), migrated.toLocalFile(), error)) return true;
  removeIfExists(migrated, nullptr);
  return false;
}

QUrl IMAMigrationHelper::backUpURL(const QUrl& url, fnd::Error* error) {
  QDir folder(oldVersionsFolder());
  if (!folder.exists() && !folder.mkpath("."))
    qWarning("%s",
             qPrintable(QStringLiteral("The folder %1 could not be made.").arg(folder.path())));
  // A backup never replaces an earlier one, which may be of another
  // document of the same name: the new one takes the next free name.
  const QFileInfo source(url.toLocalFile());
  QString destination = folder.filePath(source.fileName());
  for (int n = 2; QFileInfo::exists(destination); ++n) {
    // A backup of these very bytes, made by an earlier try, is kept as is.
    if (sameContents(destination, source.filePath())) return QUrl::fromLocalFile(destination);
    const QString suffix = source.completeSuffix();
    destination = folder.filePath(QStringLiteral("%1 %2%3").arg(
        source.baseName(), QString::number(n), suffix.isEmpty() ? QString() : "." + suffix));
  }
  if (!QFile::copy(source.filePath(), destination)) {
    const QString message = filled(
        fnd::localized("Document migration failed because the file at path '%@' could not be "
                       "backup to the sandbox '%@'."),
        {source.filePath(), folder.path()});
    qWarning("%s", qPrintable(message));
    failWith(error, fnd::CocoaErrorDomain, fnd::FileWriteUnknownError, message);
    return {};
  }
  return QUrl::fromLocalFile(destination);
}

bool IMAMigrationHelper::removeIfExists(const QUrl& url, fnd::Error* error) {
  const QString path = url.toLocalFile();
  if (!QFileInfo::exists(path) && !QFileInfo(path).isSymLink()) return true;
  if (QFile::remove(path)) return true;
  return failWith(error, fnd::CocoaErrorDomain, fnd::FileWriteNoPermissionError,
                  QStringLiteral("%1 could not be removed.").arg(path));
}

bool IMAMigrationHelper::ima_checkPersistentStoreValidityAtURL(
    const cd::ManagedObjectModelPtr& model, const QUrl& url, fnd::Error* error) {
  if (error) *error = fnd::Error();
  CheckedStore store(model, url, error);
  int count = 0;
  if (!store.attached) {
    qWarning("Impossible to add persistent store at url %s", qPrintable(url.toString()));
  } else {
    cd::FetchRequest request("ComposedImage");
    count = store.context.countForFetchRequest(request, error);
    if (count == 1) return true;
  }
  qWarning("Number of ComposedImage is incorrect = %lu",
           static_cast<unsigned long>(std::max(count, 0)));
  if (error && error->isNull())
    failWith(error, ErrorDomain, 0,
             QStringLiteral("The store at %1 holds %2 images instead of one.")
                 .arg(url.toLocalFile())
                 .arg(count));
  return false;
}

bool IMAMigrationHelper::ima_tryToSavePersistentStoreAtURL(const cd::ManagedObjectModelPtr& model,
                                                           const QUrl& url, fnd::Error* error) {
  if (!ima_checkPersistentStoreValidityAtURL(model, url, error)) return false;
  CheckedStore store(model, url, error);
  if (!store.attached) return false;
  const cd::ObjectList roots =
      store.context.executeFetchRequest(cd::FetchRequest("ComposedImage"), error);
  if (roots.isEmpty()) return false;
  roots.first()->setValue(1, "alphaColor");
  return store.context.save(error);
}
