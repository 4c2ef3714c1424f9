#include <gtest/gtest.h>

#include <QDateTime>
#include <limits>

#include "CoreDataFixture.h"
#include "TestSupport.h"

using cdtest::openStack;
using cdtest::sqlite;

namespace {

QDateTime fromReference(qint64 msecs) {
  return QDateTime::fromMSecsSinceEpoch(978307200000LL + msecs, Qt::UTC);
}

}  // namespace

// Seconds written by the sqlite3 shell, as a damaged or foreign file holds
// them: dates read to the millisecond, values no date can hold read as absent.
TEST(StoreDate, StoredSecondsBeyondAnyDateReadAsAbsent) {
  const QString path = tst::tempPath("store-dates.sqlite");
  {
    auto stack = openStack(path);
    stack->insert("Every")->setValue(QDateTime::currentDateTimeUtc(), "when");
    ASSERT_TRUE(stack->context->save());
  }
  const struct {
    const char* stored;
    QDateTime expected;
  } cases[] = {
      {"0", fromReference(0)},
      {"-978307200.25", QDateTime::fromMSecsSinceEpoch(-250, Qt::UTC)},
      {"1e13", fromReference(10000000000000000LL)},
      {"-1e13", fromReference(-10000000000000000LL)},
      {"1.0000001e13", {}},
      {"9.3e15", {}},  // milliseconds beyond 64 bits
      {"-1e300", {}},
      {"9e999", {}},  // infinity
      {"-9e999", {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.stored);
    sqlite(path, QStringLiteral("UPDATE ZEVERY SET ZWHEN = %1").arg(c.stored));
    auto stack = openStack(path);
    const cd::ObjectList objects = stack->fetch("Every");
    ASSERT_EQ(objects.size(), 1);
    const QVariant when = objects[0]->valueForKey("when");
    EXPECT_EQ(when, c.expected.isValid() ? QVariant(c.expected) : QVariant());
  }
}

TEST(StoreDate, DatesBeyondTheRangeFailTheSave) {
  const QString path = tst::tempPath("store-far-date.sqlite");
  auto stack = openStack(path);
  stack->insert("Every")->setValue(fromReference(0), "when");
  ASSERT_TRUE(stack->context->save());
  cd::ManagedObject* far = stack->insert("Every");
  far->setValue(QDateTime::fromMSecsSinceEpoch(std::numeric_limits<qint64>::max(), Qt::UTC),
                "when");
  fnd::Error error;
  EXPECT_FALSE(stack->context->save(&error));
  EXPECT_EQ(error.code(), fnd::PersistentStoreSaveError);
  EXPECT_EQ(sqlite(path, "SELECT count(*) FROM ZEVERY"), "1");
}
