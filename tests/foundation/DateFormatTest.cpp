#include <gtest/gtest.h>

#include <QDateTime>

#include "foundation/DateFormat.h"

namespace {

QDateTime local(int y, int mo, int d, int h, int mi, int s, int ms) {
  return QDateTime(QDate(y, mo, d), QTime(h, mi, s, ms), Qt::LocalTime);
}

}  // namespace

TEST(DateFormat, FormatsDirectivesInLocalTime) {
  const struct {
    QDateTime date;
    const char* format;
    const char* expected;
  } cases[] = {
      {local(2024, 12, 31, 23, 59, 59, 999), "%Y%j%H%M%S%F", "2024366235959999"},
      {local(2023, 1, 1, 0, 0, 0, 7), "%Y%j%H%M%S%F", "2023001000000007"},
      {local(2023, 12, 31, 12, 0, 0, 0), "%j", "365"},
      {local(2024, 2, 29, 8, 5, 3, 40), "%Y-%m-%d %H:%M:%S.%F", "2024-02-29 08:05:03.040"},
      {local(2009, 3, 7, 14, 30, 0, 0), "%y/%m/%d %I%p", "09/03/07 02PM"},
      {local(2009, 3, 7, 0, 30, 0, 0), "%I %p %e", "12 AM  7"},
      {local(2026, 12, 8, 9, 0, 0, 0), "%A %a %B %b", "Tuesday Tue December Dec"},
      {local(2026, 12, 8, 9, 0, 0, 0), "100%% done %Q", "100% done %Q"},
      {local(2026, 12, 8, 9, 0, 0, 0), "trailing %", "trailing %"},
      {local(987, 6, 5, 4, 3, 2, 1), "%Y", "0987"},
      {QDateTime(), "%Y-%m-%d %H:%M:%S", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.format);
    EXPECT_EQ(fnd::formatCalendarDate(c.date, c.format), QString(c.expected));
  }
  const QString stamp = fnd::formatCalendarDate(QDateTime::currentDateTime(), "%Y%j%H%M%S%F");
  EXPECT_EQ(stamp.size(), 16);
}

TEST(DateFormat, UniversalTimesAreShownInLocalTime) {
  const QDateTime moment = local(2025, 7, 1, 10, 20, 30, 400);
  EXPECT_EQ(fnd::formatCalendarDate(moment.toUTC(), "%Y%j%H%M%S%F %z"),
            fnd::formatCalendarDate(moment, "%Y%j%H%M%S%F %z"));
  const int offset = moment.offsetFromUtc();
  const QString zone = fnd::formatCalendarDate(moment, "%z");
  EXPECT_EQ(zone[0], offset < 0 ? u'-' : u'+');
  EXPECT_EQ(zone.mid(1).toInt(), (std::abs(offset) / 3600) * 100 + (std::abs(offset) % 3600) / 60);
}
