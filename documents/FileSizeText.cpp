#include "documents/FileSizeText.h"

#include <cmath>

#include "foundation/Localized.h"

namespace {

// `value` with at most `digits` decimals, trailing zeros dropped.
QString trimmed(double value, int digits) {
  QString text = QString::number(value, 'f', digits);
  if (text.contains('.')) {
    while (text.endsWith('0')) text.chop(1);
    if (text.endsWith('.')) text.chop(1);
  }
  return text;
}

}  // namespace

QString FileSizeText::fileStyle(qint64 bytes) {
  if (bytes == 0) return fnd::localized("Zero KB");
  if (bytes == 1) return fnd::localized("1 byte");
  if (bytes < 1000) return fnd::localized("%1 bytes").arg(bytes);
  struct Unit {
    double size;
    int digits;
    const char* name;
  };
  const Unit units[] = {{1e3, 0, "KB"}, {1e6, 1, "MB"}, {1e9, 2, "GB"}, {1e12, 2, "TB"}};
  const Unit* unit = &units[0];
  // A value that rounds up to 1000 of one unit is shown in the next.
  for (const Unit& next : units) {
    double scale = std::pow(10.0, unit->digits);
    if (next.size > unit->size && std::round(double(bytes) / unit->size * scale) / scale >= 1000)
      unit = &next;
  }
  return QStringLiteral("%1 %2").arg(trimmed(double(bytes) / unit->size, unit->digits),
                                     QString::fromLatin1(unit->name));
}

QString FileSizeText::legacy(qint64 bytes) {
  if (bytes <= 1048576) return QString::asprintf("%.1f %s", double(bytes) / 1024, "K");
  return QString::asprintf("%.1f %s", double(bytes) / 1048576, "M");
}
