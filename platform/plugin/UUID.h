// A 16-byte UUID of the plug-in interface: names plug-in types, factories
// and interfaces. Written as "0E917172-60C7-4642-8EAE-E2C1507593AE".
#pragma once

#include <QString>
#include <array>
#include <cstdint>

#include "plugin/PlugInCOM.h"

namespace plugin {

class UUID {
 public:
  UUID() = default;
  explicit UUID(const PlugInUUIDBytes& bytes);
  // The null UUID when `text` is not 32 hex digits in 8-4-4-4-12 groups.
  static UUID fromString(const QString& text);

  bool isNull() const;
  PlugInUUIDBytes bytes() const;
  // Upper-case hex in groups.
  QString toString() const;

  bool operator==(const UUID& other) const { return bytes_ == other.bytes_; }
  bool operator!=(const UUID& other) const { return bytes_ != other.bytes_; }
  bool operator<(const UUID& other) const { return bytes_ < other.bytes_; }

 private:
  std::array<uint8_t, 16> bytes_{};
};

}  // namespace plugin
