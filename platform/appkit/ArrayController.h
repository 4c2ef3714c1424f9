// A controller of a list of managed objects for tables and bindings: its
// content (a list, or an owner's ordered to-many relationship that inserts
// and removals are written through to), the arranged objects in content
// order, the selection as indexes and as objects, and the selection proxy.
// Observable keys: "content", "arrangedObjects", "selectionIndexes",
// "selectionIndex", "selectedObjects", "selection", "canRemove".
#pragma once

#include "appkit/Controller.h"
#include "coredata/ManagedObject.h"
#include "foundation/IndexSet.h"

class QObject;

namespace ui {

class ArrayController : public Controller {
 public:
  ArrayController();
  ~ArrayController() override;

  cd::ObjectList content() const { return content_; }
  // Keeps the selected objects that remain (preservesSelection), then
  // avoids an empty selection when asked to.
  virtual void setContent(const cd::ObjectList& objects);
  // The content becomes `owner`'s ordered to-many `key` and follows it;
  // insertions and removals through the controller change the relationship.
  // A null owner detaches.
  void setContentRelationship(cd::ManagedObject* owner, const QString& key);
  cd::ManagedObject* contentOwner() const { return owner_; }

  cd::ObjectList arrangedObjects() const { return arranged_; }
  // Arranges the content again (in content order) and tells observers.
  virtual void rearrangeObjects();

  fnd::IndexSet selectionIndexes() const { return selection_; }
  // True when the selection changed.
  virtual bool setSelectionIndexes(const fnd::IndexSet& indexes);
  // -1 when nothing is selected.
  int selectionIndex() const { return selection_.firstIndex(); }
  bool setSelectionIndex(int index);
  cd::ObjectList selectedObjects() const;
  bool setSelectedObjects(const cd::ObjectList& objects);
  QList<fnd::Observable*> selectedObservables() const override;

  virtual void insertObject(cd::ManagedObject* object, int arrangedIndex);
  void addObject(cd::ManagedObject* object) { insertObject(object, int(arranged_.size())); }
  virtual void removeObjectAtArrangedObjectIndex(int index);
  void removeObjectsAtArrangedObjectIndexes(const fnd::IndexSet& indexes);
  virtual void removeObject(cd::ManagedObject* object);
  void removeObjects(const cd::ObjectList& objects);
  // The action "remove:": removes the selected objects.
  virtual void remove(QObject* sender);
  bool canRemove() const { return !selection_.isEmpty(); }

  bool selectsInsertedObjects() const { return selectsInsertedObjects_; }
  void setSelectsInsertedObjects(bool value) { selectsInsertedObjects_ = value; }
  bool avoidsEmptySelection() const { return avoidsEmptySelection_; }
  void setAvoidsEmptySelection(bool value) { avoidsEmptySelection_ = value; }
  bool preservesSelection() const { return preservesSelection_; }
  void setPreservesSelection(bool value) { preservesSelection_ = value; }

  QVariant valueForKey(const QString& key) const override;
  // "selectionIndexes" (an fnd::IndexSet) and "content" (an object list).
  void setValueForKey(const QString& key, const QVariant& value) override;
  QSet<QString> keyPathsForValuesAffectingValueForKey(const QString& key) const override;

 private:
  // Replaces the content and arranged objects, keeping selected objects.
  void takeContent(const cd::ObjectList& objects);
  void storeContent(const cd::ObjectList& objects, const fnd::IndexSet& selection);
  void storeSelection(const fnd::IndexSet& indexes);
  void selectNeighbourOf(int removedIndex);
  void relationshipChanged();

  cd::ObjectList content_;
  cd::ObjectList arranged_;
  fnd::IndexSet selection_;
  cd::ManagedObject* owner_ = nullptr;
  QString ownerKey_;
  fnd::Observable::ObserverToken ownerToken_ = 0;
  bool writingThrough_ = false;
  bool selectsInsertedObjects_ = true;
  bool avoidsEmptySelection_ = true;
  bool preservesSelection_ = true;
};

}  // namespace ui
