// Names shared by the keyed archiver and unarchiver: the layout's fixed keys
// and the class names that other readers of the format recognise.
#pragma once

#include <QString>

namespace fnd::archive {

inline const QString ArchiverKey = QStringLiteral("$archiver");
inline const QString ArchiverName = QStringLiteral("NSKeyedArchiver");
inline const QString VersionKey = QStringLiteral("$version");
constexpr int Version = 100000;
inline const QString TopKey = QStringLiteral("$top");
inline const QString ObjectsKey = QStringLiteral("$objects");
inline const QString NullObject = QStringLiteral("$null");
inline const QString ClassKey = QStringLiteral("$class");
inline const QString ClassNameKey = QStringLiteral("$classname");
inline const QString ClassesKey = QStringLiteral("$classes");
inline const QString RootKey = QStringLiteral("root");

inline const QString ObjectsField = QStringLiteral("NS.objects");
inline const QString KeysField = QStringLiteral("NS.keys");
inline const QString TimeField = QStringLiteral("NS.time");
inline const QString StringField = QStringLiteral("NS.string");
inline const QString DataField = QStringLiteral("NS.data");

}  // namespace fnd::archive
