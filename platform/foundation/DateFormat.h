// Calendar-date formatting with the %-directives the program uses in file
// names and time stamps, in the local time zone. Backed by QDateTime.
#pragma once

#include <QDateTime>
#include <QString>

namespace fnd {

// Directives: %Y year (4 digits), %y year (2 digits), %m month, %d day,
// %j day of year (3 digits), %H hour (00-23), %I hour (01-12), %p AM/PM,
// %M minute, %S second, %F milliseconds (3 digits), %e day (space padded),
// %B/%b month name full/short, %A/%a weekday name full/short, %Z time zone
// abbreviation, %z offset (+hhmm), %%. Unknown directives are kept as written.
// An invalid date, or one whose local time is past the calendar's ends,
// formats as an empty string.
QString formatCalendarDate(const QDateTime& date, const QString& format);

}  // namespace fnd
