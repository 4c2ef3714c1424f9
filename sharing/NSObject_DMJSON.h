// Writing any value as JSON in one call; a failure logs the error trace and
// gives a null string.
#pragma once

#include <QString>
#include <QVariant>

#include "foundation/Error.h"

QString JSONFragment(const QVariant& value);
QString JSONRepresentation(const QVariant& value);

// The trace as the failure logs print it, outermost error last.
QString DMJsonTraceDescription(const QList<fnd::Error>& trace);
