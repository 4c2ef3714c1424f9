#include "coredata/PropertyDescription.h"

namespace cd {

QByteArray PropertyDescription::versionHashInput() const {
  // Optional and transient change what a store row may hold, so they take
  // part in the hash; user info and renaming identifiers do not.
  return name_.toUtf8() + '|' + (optional_ ? '1' : '0') + (transient_ ? '1' : '0');
}

}  // namespace cd
