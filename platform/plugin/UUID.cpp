#include "plugin/UUID.h"

#include <QStringList>
#include <algorithm>
#include <cctype>
#include <cstring>

namespace plugin {

UUID::UUID(const PlugInUUIDBytes& bytes) { std::memcpy(bytes_.data(), bytes.byte, 16); }

UUID UUID::fromString(const QString& text) {
  static const int kGroups[] = {8, 4, 4, 4, 12};
  const QStringList groups = text.split('-');
  if (groups.size() != 5) return {};
  QByteArray hex;
  for (int i = 0; i < 5; ++i) {
    if (groups[i].size() != kGroups[i]) return {};
    hex += groups[i].toLatin1();
  }
  if (!std::all_of(hex.begin(), hex.end(), [](char c) { return std::isxdigit(uchar(c)); }))
    return {};
  const QByteArray raw = QByteArray::fromHex(hex);
  UUID uuid;
  std::memcpy(uuid.bytes_.data(), raw.constData(), 16);
  return uuid;
}

bool UUID::isNull() const {
  return std::all_of(bytes_.begin(), bytes_.end(), [](uint8_t b) { return b == 0; });
}

PlugInUUIDBytes UUID::bytes() const {
  PlugInUUIDBytes result;
  std::memcpy(result.byte, bytes_.data(), 16);
  return result;
}

QString UUID::toString() const {
  const QString hex =
      QString::fromLatin1(QByteArray(reinterpret_cast<const char*>(bytes_.data()), 16).toHex())
          .toUpper();
  return QStringLiteral("%1-%2-%3-%4-%5")
      .arg(hex.mid(0, 8), hex.mid(8, 4), hex.mid(12, 4), hex.mid(16, 4), hex.mid(20, 12));
}

}  // namespace plugin
