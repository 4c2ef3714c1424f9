// Shared pieces of the object store tests: the test models (compiled in from
// models/), entity classes that record their hooks, a stack of model,
// coordinator, store and context, and the sqlite3 shell as an independent
// reader of store files.
#pragma once

#include <QStringList>
#include <memory>
#include <ostream>

#include "coredata/ManagedObjectContext.h"
#include "coredata/ManagedObjectModel.h"
#include "coredata/PersistentStoreCoordinator.h"

// GoogleTest prints QStrings as text.
inline void PrintTo(const QString& text, std::ostream* out) {
  *out << '"' << text.toStdString() << '"';
}

namespace cdtest {

cd::ManagedObjectModelPtr documentModel();
cd::ManagedObjectModelPtr documentModelV2();

// The class of Layer: records every hook and will/did-change it sees.
// "displayName" depends on "name" and "visible".
class Layer : public cd::ManagedObject {
 public:
  QString name() const { return valueForKey("name").toString(); }
  void setName(const QString& name) { setValue(name, "name"); }

  QVariant valueForKey(const QString& key) const override;
  QSet<QString> keyPathsForValuesAffectingValueForKey(const QString& key) const override;
  void willChangeValueForKey(const QString& key) override;
  void didChangeValueForKey(const QString& key) override;
  void willChange(fnd::KeyValueChangeKind kind, const fnd::IndexSet& indexes,
                  const QString& key) override;
  void awakeFromInsert() override { events.append("awakeFromInsert"); }
  void awakeFromFetch() override { events.append("awakeFromFetch"); }
  void awakeFromSnapshotEvents(int flags) override { snapshotFlags.append(flags); }
  void willTurnIntoFault() override { events.append("willTurnIntoFault"); }
  void didTurnIntoFault() override { events.append("didTurnIntoFault"); }
  void willSave() override;
  void didSave() override { events.append("didSave"); }
  void prepareForDeletion() override { events.append("prepareForDeletion"); }

  QStringList events;
  QStringList changes;  // "will:key", "did:key", "insert:key"
  QList<int> snapshotFlags;
};

class TextLayer : public Layer {};

// A model, a coordinator with one store and a context whose undo manager
// groups only explicitly.
struct Stack {
  cd::ManagedObjectModelPtr model;
  std::unique_ptr<cd::PersistentStoreCoordinator> coordinator;
  std::unique_ptr<cd::ManagedObjectContext> context;
  cd::PersistentStore* store = nullptr;
  QString path;

  // One user step: an undo group around `body` and processPendingChanges.
  void step(const std::function<void()>& body);
  cd::ManagedObject* insert(const QString& entity) {
    return context->insertNewObjectForEntityForName(entity);
  }
  cd::ObjectList fetch(const QString& entity);
};

// Null (with `error`) when the store does not open. An empty path gives an
// in-memory store.
std::unique_ptr<Stack> openStack(const QString& path, fnd::Error* error = nullptr,
                                 const QVariantMap& options = {},
                                 cd::ManagedObjectModelPtr model = documentModel());

// Output of the sqlite3 shell for `sql` on `path`, trimmed; one line per
// row, columns separated by '|'.
QString sqlite(const QString& path, const QString& sql);

// Collects notifications of one name sent by one object while alive.
class NotificationRecorder {
 public:
  NotificationRecorder(const QString& name, const void* object);
  ~NotificationRecorder();
  QList<QVariantMap> userInfos;

 private:
  quint64 token_;
};

QStringList namesOf(const QVariantList& objects);
QStringList namesOf(const cd::ObjectList& objects);

}  // namespace cdtest
