// Fuzzes the property-list reader, binary and XML, and writes back what it
// accepts in both formats (the writer must refuse, not crash, on values
// the reader let through).
#include "FuzzSupport.h"
#include "foundation/PropertyList.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fnd::Error error;
  const QVariant plist =
      fnd::PropertyList::propertyListWithData(fuzz::bytes(data, size), nullptr, &error);
  if (!plist.isValid()) return 0;
  for (auto format : {fnd::PropertyListFormat::Binary, fnd::PropertyListFormat::XML}) {
    const QByteArray written = fnd::PropertyList::dataWithPropertyList(plist, format, &error);
    if (!written.isEmpty()) fnd::PropertyList::propertyListWithData(written, nullptr, &error);
  }
  return 0;
}
