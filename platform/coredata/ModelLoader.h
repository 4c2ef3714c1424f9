// Reads model files, our JSON description of entities, and resolves them
// into a ManagedObjectModel. Several files of one model version can be
// merged: relationships may point at entities declared in another file.
//
// {"versionIdentifier": "2",
//  "entities": [{"name": "Layer", "parent": "Base", "abstract": false,
//                "properties": [
//                  {"name": "opacity", "type": "float", "default": 1, "optional": true},
//                  {"name": "image", "destination": "Image", "inverse": "layer",
//                   "toMany": false, "ordered": false, "deleteRule": "cascade",
//                   "minCount": 0, "maxCount": 0}]}]}
// Attribute types: int16 int32 int64 float double bool string date binary
// transformable. Delete rules: noAction nullify cascade deny.
#pragma once

#include <QJsonObject>
#include <QStringList>
#include <vector>

#include "coredata/ManagedObjectModel.h"

namespace cd {

class ModelLoader {
 public:
  bool addFile(const QString& path, fnd::Error* error = nullptr);
  bool addJson(const QByteArray& json, const QString& source, fnd::Error* error = nullptr);
  // The model of everything added so far, or null with a validation error.
  ManagedObjectModelPtr build(fnd::Error* error = nullptr);

 private:
  struct PendingRelationship {
    RelationshipDescription* relationship;
    QString destination;
    QString inverse;
    QString source;
  };
  struct PendingEntity {
    std::unique_ptr<EntityDescription> entity;
    QString parent;
    QString source;
  };

  bool readEntity(const QJsonObject& json, const QString& source, fnd::Error* error);
  bool readProperty(EntityDescription* entity, const QJsonObject& json, const QString& source,
                    fnd::Error* error);
  bool resolve(fnd::Error* error);
  bool invalid(fnd::Error* error, const QString& source, const QString& why);

  std::vector<PendingEntity> entities_;
  std::vector<PendingRelationship> relationships_;
  QStringList versionIdentifiers_;
};

}  // namespace cd
