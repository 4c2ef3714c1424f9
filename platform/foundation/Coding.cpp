#include "foundation/Coding.h"

namespace fnd {

Coding::~Coding() = default;

QStringList Coding::archiveClassHierarchy() const {
  return {archiveClassName(), QStringLiteral("NSObject")};
}

}  // namespace fnd
