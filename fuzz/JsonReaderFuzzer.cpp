// Fuzzes the JSON reader the network replies go through. What it accepts
// must write and read back the same; what it refuses must say why.
#include <cstdlib>

#include "FuzzSupport.h"
#include "sharing/DMJsonParser.h"
#include "sharing/DMJsonWriter.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const QString text = QString::fromUtf8(fuzz::bytes(data, size));
  DMJsonParser parser;
  const QVariant value = parser.fragmentWithString(text);
  if (!value.isValid()) {
    if (parser.errorTrace().isEmpty()) std::abort();
    return 0;
  }
  DMJsonWriter writer;
  writer.setHumanReadable(size % 2 == 1);
  const QString written = writer.stringWithFragment(value);
  if (written.isNull()) std::abort();
  DMJsonParser again;
  if (again.fragmentWithString(written) != value) std::abort();
  return 0;
}
