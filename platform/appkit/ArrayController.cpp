#include "appkit/ArrayController.h"

#include <QObject>
#include <algorithm>

#include "coredata/ManagedObjectContext.h"

namespace ui {

namespace {

fnd::IndexSet indexesOf(const cd::ObjectList& objects, const cd::ObjectList& in) {
  fnd::IndexSet indexes;
  for (cd::ManagedObject* object : objects) indexes.addIndex(int(in.indexOf(object)));
  return indexes;
}

}  // namespace

ArrayController::ArrayController() = default;

ArrayController::~ArrayController() { setContentRelationship(nullptr, {}); }

void ArrayController::setContent(const cd::ObjectList& objects) {
  takeContent(objects);
  if (selection_.isEmpty() && avoidsEmptySelection_ && !arranged_.isEmpty())
    setSelectionIndexes(fnd::IndexSet(0));
}

void ArrayController::takeContent(const cd::ObjectList& objects) {
  const cd::ObjectList kept = preservesSelection_ ? selectedObjects() : cd::ObjectList();
  storeContent(objects, indexesOf(kept, objects));
}

// Content and selection change together, so no observer of one sees the
// other out of step.
void ArrayController::storeContent(const cd::ObjectList& objects, const fnd::IndexSet& selection) {
  willChangeValueForKey("content");
  willChangeValueForKey("selectionIndexes");
  content_ = objects;
  arranged_ = objects;
  selection_ = selection;
  selectionDidChange();
  didChangeValueForKey("selectionIndexes");
  didChangeValueForKey("content");
}

void ArrayController::setContentRelationship(cd::ManagedObject* owner, const QString& key) {
  if (owner_) owner_->removeObserver(ownerToken_);
  owner_ = owner;
  ownerKey_ = key;
  ownerToken_ = 0;
  if (!owner) return;
  if (!managedObjectContext()) setManagedObjectContext(owner->managedObjectContext());
  ownerToken_ = owner->addObserver(
      key, 0, [this](fnd::Observable*, const QString&, const fnd::KeyValueChange&) {
        relationshipChanged();
      });
  setContent(owner->relatedObjects(key));
}

// Changes made elsewhere (undo, another list, the model's own code); the
// controller's own edits have already updated the content.
void ArrayController::relationshipChanged() {
  if (writingThrough_) return;
  setContent(owner_->relatedObjects(ownerKey_));
}

void ArrayController::rearrangeObjects() {
  takeContent(owner_ ? owner_->relatedObjects(ownerKey_) : content_);
}

bool ArrayController::setSelectionIndexes(const fnd::IndexSet& indexes) {
  fnd::IndexSet valid = indexes;
  valid.removeIndexesInRange(int(arranged_.size()), std::numeric_limits<int>::max() / 2);
  if (valid == selection_) return false;
  storeSelection(valid);
  return true;
}

void ArrayController::storeSelection(const fnd::IndexSet& indexes) {
  willChangeValueForKey("selectionIndexes");
  selection_ = indexes;
  selectionDidChange();
  didChangeValueForKey("selectionIndexes");
}

bool ArrayController::setSelectionIndex(int index) {
  return setSelectionIndexes(index < 0 ? fnd::IndexSet() : fnd::IndexSet(index));
}

cd::ObjectList ArrayController::selectedObjects() const {
  cd::ObjectList objects;
  selection_.forEach([&](int index) {
    if (index < arranged_.size()) objects.append(arranged_[index]);
  });
  return objects;
}

bool ArrayController::setSelectedObjects(const cd::ObjectList& objects) {
  return setSelectionIndexes(indexesOf(objects, arranged_));
}

QList<fnd::Observable*> ArrayController::selectedObservables() const {
  QList<fnd::Observable*> objects;
  for (cd::ManagedObject* object : selectedObjects()) objects.append(object);
  return objects;
}

void ArrayController::insertObject(cd::ManagedObject* object, int arrangedIndex) {
  const int index = std::clamp(arrangedIndex, 0, int(arranged_.size()));
  cd::ObjectList objects = content_;
  objects.insert(index, object);
  if (owner_) {
    writingThrough_ = true;
    owner_->insertObjects({object}, fnd::IndexSet(index), ownerKey_);
    writingThrough_ = false;
    objects = owner_->relatedObjects(ownerKey_);
  }
  fnd::IndexSet shifted = selection_;
  shifted.shiftIndexesStartingAtIndex(index, 1);
  storeContent(objects, shifted);
  if (selectsInsertedObjects_) setSelectionIndexes(fnd::IndexSet(index));
}

void ArrayController::removeObjectAtArrangedObjectIndex(int index) {
  removeObjectsAtArrangedObjectIndexes(fnd::IndexSet(index));
}

void ArrayController::removeObjectsAtArrangedObjectIndexes(const fnd::IndexSet& requested) {
  fnd::IndexSet indexes = requested;
  indexes.removeIndexesInRange(int(arranged_.size()), std::numeric_limits<int>::max() / 2);
  if (indexes.isEmpty()) return;
  const bool hadSelection = !selection_.isEmpty();
  cd::ObjectList objects = content_;
  fnd::IndexSet remaining = selection_;
  for (int index = indexes.lastIndex(); index >= 0; index = indexes.indexLessThanIndex(index)) {
    objects.removeAt(index);
    remaining.removeIndex(index);
    remaining.shiftIndexesStartingAtIndex(index + 1, -1);
  }
  if (owner_) {
    writingThrough_ = true;
    owner_->removeObjectsAtIndexes(indexes, ownerKey_);
    writingThrough_ = false;
    objects = owner_->relatedObjects(ownerKey_);
  }
  storeContent(objects, remaining);
  if (hadSelection && selection_.isEmpty()) selectNeighbourOf(indexes.firstIndex());
}

// After the selected rows went away: the row that took the first removed
// row's place, or the new last row.
void ArrayController::selectNeighbourOf(int removedIndex) {
  if (!avoidsEmptySelection_ || arranged_.isEmpty()) return;
  setSelectionIndexes(fnd::IndexSet(std::min(removedIndex, int(arranged_.size()) - 1)));
}

void ArrayController::removeObject(cd::ManagedObject* object) {
  const int index = int(arranged_.indexOf(object));
  if (index >= 0) removeObjectAtArrangedObjectIndex(index);
}

void ArrayController::removeObjects(const cd::ObjectList& objects) {
  removeObjectsAtArrangedObjectIndexes(indexesOf(objects, arranged_));
}

void ArrayController::remove(QObject*) { removeObjectsAtArrangedObjectIndexes(selection_); }

QVariant ArrayController::valueForKey(const QString& key) const {
  if (key == "content") return QVariant::fromValue(content_);
  if (key == "arrangedObjects") return QVariant::fromValue(arranged_);
  if (key == "selectionIndexes") return QVariant::fromValue(selection_);
  if (key == "selectionIndex") return selectionIndex();
  if (key == "selectedObjects") return QVariant::fromValue(selectedObjects());
  if (key == "canRemove") return canRemove();
  return Controller::valueForKey(key);
}

void ArrayController::setValueForKey(const QString& key, const QVariant& value) {
  if (key == "selectionIndexes") setSelectionIndexes(value.value<fnd::IndexSet>());
  if (key == "selectionIndex") setSelectionIndex(value.toInt());
  if (key == "content") setContent(value.value<cd::ObjectList>());
}

QSet<QString> ArrayController::keyPathsForValuesAffectingValueForKey(const QString& key) const {
  if (key == "arrangedObjects") return {QStringLiteral("content")};
  if (key == "selection" || key == "selectedObjects" || key == "selectionIndex" ||
      key == "canRemove")
    return {QStringLiteral("selectionIndexes"), QStringLiteral("arrangedObjects")};
  return {};
}

}  // namespace ui
