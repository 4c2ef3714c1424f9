// Reading a string as JSON in one call; a failure logs the error trace and
// gives an invalid value.
#pragma once

#include <QString>
#include <QVariant>

QVariant JSONFragmentValue(const QString& text);
QVariant JSONValue(const QString& text);
