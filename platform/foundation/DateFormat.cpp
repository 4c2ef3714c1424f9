#include "foundation/DateFormat.h"

#include <QLocale>

namespace fnd {

namespace {

QString padded(qint64 value, int width, QChar fill = u'0') {
  return QStringLiteral("%1").arg(value, width, 10, fill);
}

QString offset(const QDateTime& local) {
  const int seconds = local.offsetFromUtc();
  const int minutes = std::abs(seconds) / 60;
  return QString(seconds < 0 ? u'-' : u'+') + padded(minutes / 60, 2) + padded(minutes % 60, 2);
}

// Names are English, like every other text the program shows.
QString directive(QChar c, const QDateTime& local) {
  const QDate date = local.date();
  const QTime time = local.time();
  const QLocale english = QLocale::c();
  switch (c.unicode()) {
    case 'Y':
      return padded(date.year(), 4);
    case 'y':
      return padded(((date.year() % 100) + 100) % 100, 2);
    case 'm':
      return padded(date.month(), 2);
    case 'd':
      return padded(date.day(), 2);
    case 'e':
      return padded(date.day(), 2, u' ');
    case 'j':
      return padded(date.dayOfYear(), 3);
    case 'H':
      return padded(time.hour(), 2);
    case 'I':
      return padded(time.hour() % 12 == 0 ? 12 : time.hour() % 12, 2);
    case 'p':
      return time.hour() < 12 ? "AM" : "PM";
    case 'M':
      return padded(time.minute(), 2);
    case 'S':
      return padded(time.second(), 2);
    case 'F':
      return padded(time.msec(), 3);
    case 'B':
      return english.monthName(date.month(), QLocale::LongFormat);
    case 'b':
      return english.monthName(date.month(), QLocale::ShortFormat);
    case 'A':
      return english.dayName(date.dayOfWeek(), QLocale::LongFormat);
    case 'a':
      return english.dayName(date.dayOfWeek(), QLocale::ShortFormat);
    case 'Z':
      return local.timeZoneAbbreviation();
    case 'z':
      return offset(local);
    case '%':
      return QStringLiteral("%");
    default:
      return QString(u'%') + c;
  }
}

}  // namespace

QString formatCalendarDate(const QDateTime& date, const QString& format) {
  const QDateTime local = date.toLocalTime();
  // Past the ends of the calendar the local time is invalid, and its fields
  // would read as zeros and minus ones.
  if (!local.isValid()) return {};
  QString result;
  result.reserve(format.size() * 2);
  for (qsizetype i = 0; i < format.size(); ++i) {
    if (format[i] != u'%' || i + 1 == format.size()) {
      result.append(format[i]);
      continue;
    }
    result.append(directive(format[++i], local));
  }
  return result;
}

}  // namespace fnd
