#include <gtest/gtest.h>

#include <thread>

#include "CoreDataFixture.h"
#include "TestSupport.h"

using cdtest::Layer;
using cdtest::openStack;
using cdtest::sqlite;

TEST(ContextSave, HooksAndNotificationsComeInOrderWithTheSavedObjects) {
  QString path = tst::tempPath("hooks.sqlite");
  auto stack = openStack(path);
  auto* layer = stack->context->insertNewObject<Layer>("Layer");
  layer->setName("saved");
  cdtest::NotificationRecorder willSave(cd::ManagedObjectContextWillSaveNotification,
                                        stack->context.get());
  cdtest::NotificationRecorder didSave(cd::ManagedObjectContextDidSaveNotification,
                                       stack->context.get());
  ASSERT_TRUE(stack->context->save());
  EXPECT_EQ(layer->events, (QStringList{"awakeFromInsert", "willSave", "didSave"}));
  ASSERT_EQ(willSave.userInfos.size(), 1);
  ASSERT_EQ(didSave.userInfos.size(), 1);
  EXPECT_EQ(cdtest::namesOf(didSave.userInfos[0].value(cd::InsertedObjectsKey).toList()),
            QStringList{"saved"});
  // The token willSave wrote primitively reached the file without making
  // the object dirty again.
  EXPECT_EQ(sqlite(path, "SELECT ZCOMPOSITING FROM ZLAYER"), "99");
  EXPECT_FALSE(layer->hasChanges());
  EXPECT_FALSE(stack->context->hasChanges());

  layer->setValue(0.5, "opacity");
  EXPECT_EQ(layer->changedValues(), (QVariantMap{{"opacity", 0.5f}}));
  EXPECT_EQ(layer->committedValuesForKeys({"opacity", "name"}),
            (QVariantMap{{"opacity", 1.0f}, {"name", "saved"}}));
  ASSERT_TRUE(stack->context->save());
  EXPECT_TRUE(layer->changedValues().isEmpty());
  EXPECT_EQ(layer->committedValuesForKeys({"opacity"}), (QVariantMap{{"opacity", 0.5f}}));
  EXPECT_EQ(cdtest::namesOf(didSave.userInfos[1].value(cd::UpdatedObjectsKey).toList()),
            QStringList{"saved"});
  EXPECT_EQ(sqlite(path, "SELECT ZOPACITY, Z_OPT FROM ZLAYER"), "0.5|2");
  // Saving with nothing to save posts nothing.
  ASSERT_TRUE(stack->context->save());
  EXPECT_EQ(didSave.userInfos.size(), 2);
}

TEST(ContextSave, ValidationFailuresStopTheSave) {
  struct Case {
    const char* what;
    std::function<void(cdtest::Stack&)> make;
    int code;
  };
  const Case table[] = {
      {"mandatory attribute missing", [](cdtest::Stack& s) { s.insert("Filter"); },
       fnd::ValidationMissingMandatoryPropertyError},
      {"too many in a to-many",
       [](cdtest::Stack& s) {
         cd::ManagedObject* layer = s.insert("Layer");
         for (int i = 0; i < 4; ++i) {
           cd::ManagedObject* filter = s.insert("Filter");
           filter->setValue("f", "name");
           layer->addObject(filter, "filters");
         }
       },
       fnd::ValidationRelationshipExceedsMaximumCountError},
      {"several errors at once",
       [](cdtest::Stack& s) {
         s.insert("Filter");
         s.insert("Filter");
       },
       fnd::ValidationMultipleErrorsError},
  };
  for (const Case& row : table) {
    QString path = tst::tempPath("invalid.sqlite");
    auto stack = openStack(path);
    row.make(*stack);
    fnd::Error error;
    EXPECT_FALSE(stack->context->save(&error)) << row.what;
    EXPECT_EQ(error.code(), row.code) << row.what;
    if (row.code == fnd::ValidationMultipleErrorsError) {
      EXPECT_EQ(error.detailedErrors().size(), 2) << row.what;
    }
    EXPECT_EQ(sqlite(path, "SELECT count(*) FROM ZFILTER"), "0") << row.what;
    EXPECT_TRUE(stack->context->hasChanges()) << row.what;
  }
}

TEST(ContextSave, RollbackAndResetDiscardUnsavedWork) {
  QString path = tst::tempPath("rollback.sqlite");
  auto stack = openStack(path);
  auto* kept = stack->context->insertNewObject<Layer>("Layer");
  kept->setName("kept");
  ASSERT_TRUE(stack->context->save());
  stack->step([&] {
    kept->setName("changed");
    stack->insert("Layer")->setValue("new", "name");
  });
  auto* doomed = stack->context->insertNewObject<Layer>("Layer");
  stack->context->deleteObject(kept);
  kept->snapshotFlags.clear();

  stack->context->rollback();
  EXPECT_FALSE(stack->context->hasChanges());
  EXPECT_FALSE(kept->isDeleted());
  EXPECT_EQ(kept->name(), "kept");
  EXPECT_EQ(kept->snapshotFlags, QList<int>{cd::SnapshotEventRollback});
  EXPECT_FALSE(stack->context->registeredObjects().contains(doomed));
  EXPECT_EQ(cdtest::namesOf(stack->fetch("Layer")), QStringList{"kept"});
  EXPECT_FALSE(stack->context->undoManager()->canUndo());

  stack->insert("Layer");
  stack->context->reset();
  EXPECT_TRUE(stack->context->registeredObjects().isEmpty());
  EXPECT_FALSE(stack->context->hasChanges());
  cd::ObjectList again = stack->fetch("Layer");
  ASSERT_EQ(again.size(), 1);
  EXPECT_EQ(again[0]->valueForKey("name"), QVariant("kept"));
}

TEST(ContextSave, ObjectIDsBecomePermanentAndStayFindable) {
  QString path = tst::tempPath("ids.sqlite");
  auto stack = openStack(path);
  cd::ManagedObject* layer = stack->insert("Layer");
  cd::ManagedObjectID temporary = layer->objectID();
  EXPECT_EQ(stack->context->objectWithID(temporary), layer);
  ASSERT_TRUE(stack->context->save());
  cd::ManagedObjectID permanent = layer->objectID();
  EXPECT_FALSE(permanent.isTemporaryID());
  EXPECT_NE(permanent, temporary);
  EXPECT_EQ(permanent.primaryKey(), 1);
  EXPECT_EQ(permanent.URIRepresentation().scheme(), "tessaly-object");
  EXPECT_EQ(permanent.URIRepresentation().path(), "/Layer/p1");
  EXPECT_EQ(stack->context->objectWithID(permanent), layer);

  auto other = std::make_unique<cd::ManagedObjectContext>();
  other->setPersistentStoreCoordinator(stack->coordinator.get());
  cd::ManagedObject* copy = other->existingObjectWithID(permanent);
  ASSERT_TRUE(copy);
  EXPECT_NE(copy, layer);
  EXPECT_EQ(copy->valueForKey("name"), QVariant("untitled layer"));
  fnd::Error error;
  EXPECT_FALSE(other->existingObjectWithID(
      cd::ManagedObjectID::permanentID(layer->entity(), 42, stack->store), &error));
  EXPECT_NE(error.code(), 0);
}

TEST(ContextSave, UseFromAnotherThreadIsDetected) {
  auto stack = openStack({});
  QStringList violations;
  cd::ManagedObjectContext::setThreadViolationHandler(
      [&](const char* operation) { violations.append(operation); });
  std::thread worker([&] { stack->context->processPendingChanges(); });
  worker.join();
  stack->context->processPendingChanges();
  cd::ManagedObjectContext::setThreadViolationHandler(nullptr);
  EXPECT_EQ(violations, QStringList{"processPendingChanges"});
}

TEST(Fetch, PredicatesSortsAndLimitsSeeTheContextsView) {
  QString path = tst::tempPath("fetch.sqlite");
  auto stack = openStack(path);
  const std::pair<const char*, double> saved[] = {{"sea", 0.2}, {"sky", 0.9}, {"sand", 0.5}};
  for (auto [name, opacity] : saved) {
    cd::ManagedObject* layer = stack->insert("Layer");
    layer->setValue(name, "name");
    layer->setValue(opacity, "opacity");
  }
  ASSERT_TRUE(stack->context->save());
  cd::ManagedObject* pending = stack->insert("Layer");
  pending->setValue("shell", "name");
  pending->setValue(0.7, "opacity");
  stack->context->deleteObject(stack->fetch("Layer")[1]);  // "sky"

  using Comparison = cd::Predicate::Comparison;
  struct Case {
    const char* what;
    cd::Predicate predicate;
    QList<cd::SortDescriptor> sorts;
    int limit;
    QStringList expected;
  };
  const Case table[] = {
      {"all by name", {}, {cd::SortDescriptor("name")}, 0, {"sand", "sea", "shell"}},
      {"descending opacity",
       {},
       {cd::SortDescriptor("opacity", false)},
       0,
       {"shell", "sand", "sea"}},
      {"comparison",
       cd::Predicate::compare("opacity", Comparison::Greater, 0.4),
       {cd::SortDescriptor("name")},
       0,
       {"sand", "shell"}},
      {"equality", cd::Predicate::equal("name", "sea"), {}, 0, {"sea"}},
      {"callable and limit",
       cd::Predicate([](const cd::ManagedObject* o) {
         return o->valueForKey("name").toString().startsWith('s');
       }),
       {cd::SortDescriptor("opacity")},
       2,
       {"sea", "sand"}},
      {"combined",
       cd::Predicate::compare("name", Comparison::Contains, "e") &&
           !cd::Predicate::equal("name", "sea"),
       {},
       0,
       {"shell"}},
  };
  for (const Case& row : table) {
    cd::FetchRequest request("Layer");
    request.setPredicate(row.predicate);
    request.setSortDescriptors(row.sorts);
    request.setFetchLimit(row.limit);
    fnd::Error error;
    EXPECT_EQ(cdtest::namesOf(stack->context->executeFetchRequest(request, &error)), row.expected)
        << row.what;
    EXPECT_TRUE(error.isNull()) << row.what;
  }
  fnd::Error error;
  EXPECT_TRUE(stack->context->executeFetchRequest(cd::FetchRequest("Nope"), &error).isEmpty());
  EXPECT_NE(error.code(), 0);
  EXPECT_EQ(stack->context->countForFetchRequest(cd::FetchRequest("Layer")), 3);
}
