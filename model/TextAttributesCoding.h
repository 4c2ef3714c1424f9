// Text attributes (font, colours, paragraph style, plain numbers) in the
// form keyed archives hold: every value that is not a plain property-list
// kind travels as an archivable object. Values of kinds no archive can hold
// are left out.
#pragma once

#include <QByteArray>
#include <QVariantMap>

#include "foundation/Error.h"

QVariantMap archivableTextAttributes(const QVariantMap& attributes);
// The reverse; entries of unknown classes are left out.
QVariantMap textAttributesFromArchive(const QVariantMap& archived);

QByteArray archivedDataWithTextAttributes(const QVariantMap& attributes);
// False (and `error`) when the data is not an archived dictionary.
bool textAttributesWithArchivedData(const QByteArray& data, QVariantMap* attributes,
                                    fnd::Error* error = nullptr);
// Makes unarchivers know every class text attributes use; idempotent.
void registerTextAttributeClasses();
