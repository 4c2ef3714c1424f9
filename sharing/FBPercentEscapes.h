// Percent escapes of the service's addresses, decoded strictly: a stray
// "%", a bad hex pair or bytes that are not UTF-8 make the text unreadable
// (nullopt) rather than silently kept.
#pragma once

#include <QString>
#include <optional>

std::optional<QString> percentDecodedUTF8(const QString& text);
// The leading integer of a string, as the service's numbers are read:
// leading white space, an optional sign, digits up to the first other
// character; 0 when there are none. Saturates at the type's limits.
qint64 integerValue(const QString& text);
int intValue(const QString& text);
