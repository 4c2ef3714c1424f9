// Relationship edits of ManagedObject and the upkeep of their inverses: every
// edit on one side is mirrored on the other with its own notifications, so
// both sides are recorded for undo and seen by observers.
#include <QSet>

#include "coredata/ManagedObject.h"

namespace cd {

namespace {

ObjectList withoutDuplicates(const ObjectList& objects) {
  ObjectList unique;
  QSet<ManagedObject*> seen;
  for (ManagedObject* object : objects)
    if (object && !seen.contains(object)) {
      seen.insert(object);
      unique.append(object);
    }
  return unique;
}

}  // namespace

ManagedObject* ManagedObject::relatedObject(const QString& key) const {
  return valueForKey(key).value<ManagedObject*>();
}

ObjectList ManagedObject::relatedObjects(const QString& key) const {
  return valueForKey(key).value<ObjectList>();
}

void ManagedObject::setToOne(RelationshipDescription* relationship, ManagedObject* object,
                             bool upkeep) {
  int index = relationship->index();
  ensureLoaded(index);
  ManagedObject* old = values_[index].value<ManagedObject*>();
  if (old == object) return;
  willChangeValueForKey(relationship->name());
  values_[index] = object ? QVariant::fromValue(object) : QVariant();
  didChangeValueForKey(relationship->name());
  RelationshipDescription* inverse = relationship->inverseRelationship();
  if (!upkeep || !inverse) return;
  if (old) old->unlink(inverse, this);
  if (object) object->link(inverse, this);
}

void ManagedObject::setToMany(RelationshipDescription* relationship, const ObjectList& objects) {
  int index = relationship->index();
  ensureLoaded(index);
  ObjectList old = values_[index].value<ObjectList>();
  ObjectList fresh = withoutDuplicates(objects);
  if (old == fresh) return;
  willChangeValueForKey(relationship->name());
  values_[index] = QVariant::fromValue(fresh);
  didChangeValueForKey(relationship->name());
  RelationshipDescription* inverse = relationship->inverseRelationship();
  for (ManagedObject* member : old)
    if (!fresh.contains(member) && member->slot(inverse->index()).value<ManagedObject*>() == this)
      member->setToOne(inverse, nullptr, false);
  for (ManagedObject* member : fresh) {
    if (old.contains(member)) continue;
    ManagedObject* owner = member->slot(inverse->index()).value<ManagedObject*>();
    if (owner == this) continue;
    if (owner) owner->unlink(relationship, member);
    member->setToOne(inverse, this, false);
  }
}

void ManagedObject::insertObjects(const ObjectList& objects, const fnd::IndexSet& indexes,
                                  const QString& key) {
  RelationshipDescription* relationship = toManyRelationship(key);
  if (!relationship) return;
  if (objects.size() != indexes.count() || withoutDuplicates(objects).size() != objects.size()) {
    qWarning("cd::ManagedObject::insertObjects: objects and indexes do not match");
    return;
  }
  for (ManagedObject* object : objects)
    if (!acceptsDestination(relationship, object)) return;
  // Inserting a member again moves it: an ordered relationship is a set.
  ObjectList current = slot(relationship->index()).value<ObjectList>();
  fnd::IndexSet present;
  for (ManagedObject* object : objects)
    if (current.contains(object)) present.addIndex(int(current.indexOf(object)));
  if (!present.isEmpty()) removeFrom(relationship, present, false);
  insertInto(relationship, objects, indexes, true);
}

void ManagedObject::insertInto(RelationshipDescription* relationship, const ObjectList& objects,
                               const fnd::IndexSet& indexes, bool upkeep) {
  int index = relationship->index();
  ensureLoaded(index);
  ObjectList list = values_[index].value<ObjectList>();
  QList<int> positions = indexes.toList();
  int expected = int(list.size());
  for (int position : positions) {
    if (position > expected) {
      qWarning("cd::ManagedObject: insertion index %d is beyond the end", position);
      return;
    }
    ++expected;
  }
  willChange(fnd::KeyValueChangeKind::Insertion, indexes, relationship->name());
  for (int i = 0; i < positions.size(); ++i) list.insert(positions[i], objects[i]);
  values_[index] = QVariant::fromValue(list);
  didChange(fnd::KeyValueChangeKind::Insertion, indexes, relationship->name());
  RelationshipDescription* inverse = relationship->inverseRelationship();
  if (!upkeep) return;
  for (ManagedObject* member : objects) {
    ManagedObject* owner = member->slot(inverse->index()).value<ManagedObject*>();
    if (owner == this) continue;
    if (owner) owner->unlink(relationship, member);
    member->setToOne(inverse, this, false);
  }
}

void ManagedObject::removeObjectsAtIndexes(const fnd::IndexSet& indexes, const QString& key) {
  RelationshipDescription* relationship = toManyRelationship(key);
  if (!relationship) return;
  if (indexes.lastIndex() >= slot(relationship->index()).value<ObjectList>().size()) {
    qWarning("cd::ManagedObject::removeObjectsAtIndexes: index beyond the end");
    return;
  }
  removeFrom(relationship, indexes, true);
}

void ManagedObject::removeFrom(RelationshipDescription* relationship, const fnd::IndexSet& indexes,
                               bool upkeep) {
  if (indexes.isEmpty()) return;
  int index = relationship->index();
  ensureLoaded(index);
  ObjectList list = values_[index].value<ObjectList>();
  ObjectList removed;
  QList<int> positions = indexes.toList();
  for (int position : positions) removed.append(list[position]);
  willChange(fnd::KeyValueChangeKind::Removal, indexes, relationship->name());
  for (int i = int(positions.size()) - 1; i >= 0; --i) list.removeAt(positions[i]);
  values_[index] = QVariant::fromValue(list);
  didChange(fnd::KeyValueChangeKind::Removal, indexes, relationship->name());
  if (!upkeep) return;
  RelationshipDescription* inverse = relationship->inverseRelationship();
  for (ManagedObject* member : removed)
    if (member->slot(inverse->index()).value<ManagedObject*>() == this)
      member->setToOne(inverse, nullptr, false);
}

void ManagedObject::replaceObjectsAtIndexes(const fnd::IndexSet& indexes, const ObjectList& objects,
                                            const QString& key) {
  RelationshipDescription* relationship = toManyRelationship(key);
  if (!relationship) return;
  for (ManagedObject* object : objects)
    if (!object || !acceptsDestination(relationship, object)) return;
  int index = relationship->index();
  ObjectList list = slot(index).value<ObjectList>();
  QList<int> positions = indexes.toList();
  if (positions.size() != objects.size() ||
      (!positions.isEmpty() && positions.last() >= list.size())) {
    qWarning("cd::ManagedObject::replaceObjectsAtIndexes: objects and indexes do not match");
    return;
  }
  ObjectList removed;
  for (int i = 0; i < positions.size(); ++i) {
    removed.append(list[positions[i]]);
    list[positions[i]] = objects[i];
  }
  if (withoutDuplicates(list).size() != list.size()) {
    qWarning("cd::ManagedObject::replaceObjectsAtIndexes: an object would appear twice");
    return;
  }
  willChange(fnd::KeyValueChangeKind::Replacement, indexes, relationship->name());
  values_[index] = QVariant::fromValue(list);
  didChange(fnd::KeyValueChangeKind::Replacement, indexes, relationship->name());
  RelationshipDescription* inverse = relationship->inverseRelationship();
  for (ManagedObject* member : removed)
    if (!list.contains(member) && member->slot(inverse->index()).value<ManagedObject*>() == this)
      member->setToOne(inverse, nullptr, false);
  for (ManagedObject* member : objects) {
    ManagedObject* owner = member->slot(inverse->index()).value<ManagedObject*>();
    if (owner == this) continue;
    if (owner) owner->unlink(relationship, member);
    member->setToOne(inverse, this, false);
  }
}

void ManagedObject::addObject(ManagedObject* object, const QString& key) {
  RelationshipDescription* relationship = toManyRelationship(key);
  if (!relationship || !object || !acceptsDestination(relationship, object)) return;
  ObjectList list = slot(relationship->index()).value<ObjectList>();
  if (list.contains(object)) return;
  insertInto(relationship, {object}, fnd::IndexSet(int(list.size())), true);
}

void ManagedObject::removeObject(ManagedObject* object, const QString& key) {
  RelationshipDescription* relationship = toManyRelationship(key);
  if (!relationship) return;
  int position = int(slot(relationship->index()).value<ObjectList>().indexOf(object));
  if (position >= 0) removeFrom(relationship, fnd::IndexSet(position), true);
}

void ManagedObject::unlink(RelationshipDescription* relationship, ManagedObject* member) {
  if (relationship->isToMany()) {
    int position = int(slot(relationship->index()).value<ObjectList>().indexOf(member));
    if (position >= 0) removeFrom(relationship, fnd::IndexSet(position), false);
  } else if (slot(relationship->index()).value<ManagedObject*>() == member) {
    setToOne(relationship, nullptr, false);
  }
}

void ManagedObject::link(RelationshipDescription* relationship, ManagedObject* member) {
  if (relationship->isToMany()) {
    ObjectList list = slot(relationship->index()).value<ObjectList>();
    if (!list.contains(member))
      insertInto(relationship, {member}, fnd::IndexSet(int(list.size())), false);
    return;
  }
  // One-to-one: whoever pointed at this object before lets go of it.
  ManagedObject* previous = slot(relationship->index()).value<ManagedObject*>();
  if (previous == member) return;
  if (previous && relationship->inverseRelationship())
    previous->unlink(relationship->inverseRelationship(), this);
  setToOne(relationship, member, false);
}

}  // namespace cd
