// Model versions and mapping models found in a bundle folder.
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <mutex>

#include "coredata/ManagedObjectModel.h"
#include "coredata/MappingModel.h"

namespace cd {
namespace {

QString currentVersionName(const QString& bundle, fnd::Error* error) {
  QFile file(QDir(bundle).filePath("VersionInfo.json"));
  if (!file.open(QIODevice::ReadOnly)) {
    fnd::fail(error, fnd::CocoaErrorDomain, fnd::FileReadNoSuchFileError,
              QStringLiteral("The model bundle %1 names no current version.").arg(bundle));
    return {};
  }
  return QJsonDocument::fromJson(file.readAll()).object().value("currentVersion").toString();
}

struct Bundles {
  std::mutex mutex;
  QStringList folders;
};

Bundles& bundles() {
  static Bundles shared;
  return shared;
}

}  // namespace

void ManagedObjectModel::registerBundle(const QString& bundle) {
  std::lock_guard lock(bundles().mutex);
  if (!bundles().folders.contains(bundle)) bundles().folders.append(bundle);
}

QStringList ManagedObjectModel::registeredBundles() {
  std::lock_guard lock(bundles().mutex);
  return bundles().folders;
}

ManagedObjectModelPtr ManagedObjectModel::mergedModelFromBundle(const QString& bundle,
                                                                fnd::Error* error) {
  const QString current = currentVersionName(bundle, error);
  if (current.isEmpty()) return nullptr;
  return mergedModelFromFolder(QDir(bundle).filePath(current), error);
}

ManagedObjectModelPtr ManagedObjectModel::mergedModelFromBundle(const QString& bundle,
                                                                const QVariantMap& metadata) {
  const QDir folder(bundle);
  for (const QString& version : folder.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
    if (version == "mappings") continue;
    ManagedObjectModelPtr model = mergedModelFromFolder(folder.filePath(version));
    if (model && model->isConfigurationCompatibleWithStoreMetadata(metadata)) return model;
  }
  return nullptr;
}

std::optional<MappingModel> MappingModel::mappingModelFromBundle(
    const QString& bundle, const ManagedObjectModel& source,
    const ManagedObjectModel& destination) {
  const QDir folder(QDir(bundle).filePath("mappings"));
  for (const QString& name : folder.entryList({"*.json"}, QDir::Files, QDir::Name)) {
    std::optional<MappingModel> mapping = mappingModelFromFile(folder.filePath(name));
    if (mapping && source.versionIdentifiers().contains(mapping->sourceVersion) &&
        destination.versionIdentifiers().contains(mapping->destinationVersion))
      return mapping;
  }
  return std::nullopt;
}

}  // namespace cd
