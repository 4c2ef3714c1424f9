// Test helpers shared by the property-list and keyed-archive tests: a
// canonical tagged form of QVariant trees (so values compare exactly, kind
// included) and a bridge to Python's plistlib through plist_peer.py.
#pragma once

#include <QByteArray>
#include <QJsonValue>
#include <QString>
#include <QVariant>

#include "foundation/PropertyList.h"

namespace peer {

// ["kind", payload] as plist_peer.py writes it; integers become one kind,
// reals one kind, dates milliseconds since 1970.
QJsonValue tagged(const QVariant& value);
QVariant untagged(const QJsonValue& value);

// Whether two trees hold the same property-list values.
bool same(const QVariant& a, const QVariant& b);
QString describe(const QVariant& value);

bool available();

// Reads `bytes` with plistlib; false (and `log`) when plistlib refuses them.
bool load(const QByteArray& bytes, QVariant* value, QString* log);

// Reads each of `inputs` with plistlib in one run; an invalid QVariant for
// each plistlib refuses. False (and `log`) when plistlib could not run.
bool loadEach(const QList<QByteArray>& inputs, QList<QVariant>* values, QString* log);

// Writes `value` with plistlib in `format`; empty when it fails.
QByteArray dump(const QVariant& value, fnd::PropertyListFormat format, QString* log);

}  // namespace peer
