// A relationship of an entity: its destination, inverse, cardinality,
// ordering and what deleting the source does to the destination.
#pragma once

#include "coredata/PropertyDescription.h"

namespace cd {

enum class DeleteRule { NoAction, Nullify, Cascade, Deny };

class RelationshipDescription : public PropertyDescription {
 public:
  bool isAttribute() const override { return false; }
  bool isToMany() const override { return toMany_; }
  bool isOrdered() const override { return toMany_ && ordered_; }

  EntityDescription* destinationEntity() const { return destination_; }
  RelationshipDescription* inverseRelationship() const { return inverse_; }
  DeleteRule deleteRule() const { return deleteRule_; }
  // 0 means no bound.
  int minCount() const { return minCount_; }
  int maxCount() const { return maxCount_; }

  void setDestinationEntity(EntityDescription* entity) { destination_ = entity; }
  void setInverseRelationship(RelationshipDescription* inverse) { inverse_ = inverse; }
  void setToMany(bool toMany) { toMany_ = toMany; }
  void setOrdered(bool ordered) { ordered_ = ordered; }
  void setDeleteRule(DeleteRule rule) { deleteRule_ = rule; }
  void setMinCount(int count) { minCount_ = count; }
  void setMaxCount(int count) { maxCount_ = count; }

  QByteArray versionHashInput() const override;

  static bool deleteRuleFromName(const QString& name, DeleteRule* rule);

 private:
  EntityDescription* destination_ = nullptr;
  RelationshipDescription* inverse_ = nullptr;
  bool toMany_ = false;
  bool ordered_ = false;
  DeleteRule deleteRule_ = DeleteRule::Nullify;
  int minCount_ = 0;
  int maxCount_ = 0;
};

}  // namespace cd
