// Localised texts: the English text is the key, and English is the only
// table, so a lookup returns its key. Kept as one call so every text the
// user sees passes through a single place.
#pragma once

#include <QString>

namespace fnd {

QString localized(const QString& text);
inline QString localized(const char* text) { return localized(QString::fromUtf8(text)); }

}  // namespace fnd
