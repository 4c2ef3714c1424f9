#include "foundation/Localized.h"

namespace fnd {

QString localized(const QString& text) { return text; }

}  // namespace fnd
