#include "coredata/RelationshipDescription.h"

#include "coredata/EntityDescription.h"

namespace cd {

QByteArray RelationshipDescription::versionHashInput() const {
  // The delete rule and counts are behaviour, not storage: changing them
  // keeps existing stores compatible.
  QByteArray input = "R|" + PropertyDescription::versionHashInput();
  input += '|' + (destination_ ? destination_->name().toUtf8() : QByteArray());
  input += '|' + (inverse_ ? inverse_->name().toUtf8() : QByteArray());
  input += toMany_ ? "|many" : "|one";
  if (isOrdered()) input += "|ordered";
  return input;
}

bool RelationshipDescription::deleteRuleFromName(const QString& name, DeleteRule* rule) {
  static const QHash<QString, DeleteRule> rules = {{"noAction", DeleteRule::NoAction},
                                                   {"nullify", DeleteRule::Nullify},
                                                   {"cascade", DeleteRule::Cascade},
                                                   {"deny", DeleteRule::Deny}};
  auto it = rules.find(name);
  if (it == rules.end()) return false;
  *rule = it.value();
  return true;
}

}  // namespace cd
