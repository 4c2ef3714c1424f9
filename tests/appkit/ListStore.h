// A small object store for the controller tests: decks holding an ordered
// to-many "cards" relationship, cards with a name and a value, in memory,
// with an undo manager that groups only explicitly.
#pragma once

#include <QStringList>
#include <memory>

#include "coredata/ManagedObjectContext.h"
#include "coredata/PersistentStoreCoordinator.h"

namespace apptest {

struct ListStore {
  ListStore();
  ~ListStore();

  cd::ManagedObject* card(const QString& name, int value = 0);
  cd::ManagedObject* deck(const QStringList& cardNames);
  // One user step: an undo group around `body`.
  void step(const std::function<void()>& body);

  cd::ManagedObjectModelPtr model;
  std::unique_ptr<cd::PersistentStoreCoordinator> coordinator;
  std::unique_ptr<cd::ManagedObjectContext> context;
};

QStringList namesOf(const cd::ObjectList& objects);

}  // namespace apptest
