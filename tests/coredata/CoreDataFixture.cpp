#include "CoreDataFixture.h"

#include <gtest/gtest.h>

#include "TestSupport.h"
#include "coredata/EntityClassRegistry.h"
#include "foundation/NotificationCenter.h"

namespace cdtest {

namespace {

const bool registered = [] {
  cd::EntityClassRegistry::registerClass<Layer>("Layer");
  cd::EntityClassRegistry::registerClass<TextLayer>("TextLayer");
  return true;
}();

}  // namespace

cd::ManagedObjectModelPtr documentModel() {
  static cd::ManagedObjectModelPtr model =
      cd::ManagedObjectModel::mergedModelFromFolder(":/models/Document");
  return model;
}

cd::ManagedObjectModelPtr documentModelV2() {
  static cd::ManagedObjectModelPtr model =
      cd::ManagedObjectModel::mergedModelFromFolder(":/models/DocumentV2");
  return model;
}

QVariant Layer::valueForKey(const QString& key) const {
  if (key == "displayName")
    return name() + (ManagedObject::valueForKey("visible").toBool() ? "" : " (hidden)");
  return ManagedObject::valueForKey(key);
}

QSet<QString> Layer::keyPathsForValuesAffectingValueForKey(const QString& key) const {
  if (key == "displayName") return {"name", "visible"};
  return {};
}

void Layer::willChangeValueForKey(const QString& key) {
  changes.append("will:" + key);
  ManagedObject::willChangeValueForKey(key);
}

void Layer::didChangeValueForKey(const QString& key) {
  ManagedObject::didChangeValueForKey(key);
  changes.append("did:" + key);
}

void Layer::willChange(fnd::KeyValueChangeKind kind, const fnd::IndexSet& indexes,
                       const QString& key) {
  changes.append(QStringLiteral("indexed%1:").arg(int(kind)) + key);
  ManagedObject::willChange(kind, indexes, key);
}

void Layer::willSave() {
  events.append("willSave");
  // A token written while saving must not make the object dirty again.
  if (!isDeleted()) setPrimitiveValue(99, "compositing");
}

void Stack::step(const std::function<void()>& body) {
  context->undoManager()->beginUndoGrouping();
  body();
  context->processPendingChanges();
  context->undoManager()->endUndoGrouping();
}

cd::ObjectList Stack::fetch(const QString& entity) {
  fnd::Error error;
  cd::ObjectList objects = context->executeFetchRequest(cd::FetchRequest(entity), &error);
  EXPECT_TRUE(error.isNull()) << error.localizedDescription().toStdString();
  return objects;
}

std::unique_ptr<Stack> openStack(const QString& path, fnd::Error* error, const QVariantMap& options,
                                 cd::ManagedObjectModelPtr model) {
  auto stack = std::make_unique<Stack>();
  stack->model = model;
  stack->path = path;
  stack->coordinator = std::make_unique<cd::PersistentStoreCoordinator>(model);
  stack->store = path.isEmpty()
                     ? stack->coordinator->addPersistentStoreWithType(cd::InMemoryStoreType, {}, {},
                                                                      options, error)
                     : stack->coordinator->addPersistentStoreWithType(
                           cd::SQLiteStoreType, {}, QUrl::fromLocalFile(path), options, error);
  if (!stack->store) return nullptr;
  stack->context = std::make_unique<cd::ManagedObjectContext>();
  stack->context->setPersistentStoreCoordinator(stack->coordinator.get());
  stack->context->undoManager()->setGroupsByEvent(false);
  return stack;
}

QString sqlite(const QString& path, const QString& sql) {
  QString output;
  int status = tst::runTool("sqlite3", {"-batch", "-noheader", path, sql}, &output);
  EXPECT_EQ(status, 0) << output.toStdString();
  return output.trimmed();
}

NotificationRecorder::NotificationRecorder(const QString& name, const void* object) {
  token_ = fnd::NotificationCenter::defaultCenter().addObserverForName(
      name, object, nullptr,
      [this](const fnd::Notification& notification) { userInfos.append(notification.userInfo); });
}

NotificationRecorder::~NotificationRecorder() {
  fnd::NotificationCenter::defaultCenter().removeObserver(token_);
}

QStringList namesOf(const cd::ObjectList& objects) {
  QStringList names;
  for (cd::ManagedObject* object : objects) {
    QVariant name = object->entity()->propertyNamed("name") ? object->valueForKey("name")
                                                            : QVariant(object->entity()->name());
    names.append(name.toString());
  }
  return names;
}

QStringList namesOf(const QVariantList& objects) {
  cd::ObjectList list;
  for (const QVariant& value : objects) list.append(value.value<cd::ManagedObject*>());
  return namesOf(list);
}

}  // namespace cdtest
