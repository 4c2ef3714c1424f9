#include <gtest/gtest.h>

#include <QDateTime>
#include <QFile>
#include <QPointF>
#include <QSettings>
#include <QTimeZone>
#include <limits>

#include "PlistPeer.h"
#include "TestSupport.h"
#include "foundation/UserDefaults.h"

using fnd::UserDefaults;

namespace {

const QDateTime Saved(QDate(2026, 12, 8), QTime(19, 45, 1, 250), QTimeZone::utc());

struct Stored {
  const char* key;
  QVariant value;
  int kind;  // the metatype read back
};

QList<Stored> storedValues() {
  return {
      {"IMShowRulers", true, QMetaType::Bool},
      {"IMHideGrid", false, QMetaType::Bool},
      {"IMZoomLevel", qint64(-3), QMetaType::LongLong},
      {"IMLastSerial", std::numeric_limits<qint64>::max(), QMetaType::LongLong},
      {"IMOpacity", 0.1, QMetaType::Double},
      {"IMBrushName", QString::fromUtf8("Soft round ✓"), QMetaType::QString},
      {"IMLooksTagged", QString("%bool(true)"), QMetaType::QString},
      {"IMWordTrue", QString("true"), QMetaType::QString},
      {"IMListLike", QString("a, b, c"), QMetaType::QString},
      {"IMEmptyText", QString(""), QMetaType::QString},
      {"IMDefautColor", QByteArray("\x00\xff\x10rgb\n", 7), QMetaType::QByteArray},
      {"IMLastOpened", Saved, QMetaType::QDateTime},
      {"IMRecentFiles", QVariantList{"/tmp/a.zova", 3, true}, QMetaType::QVariantList},
      {"IMToolSettings",
       QVariantMap{{"pencil", QVariantMap{{"size", 4.5}, {"antialias", false}}},
                   {"history", QVariantList{QByteArray("\1\2", 2), Saved}}},
       QMetaType::QVariantMap},
  };
}

}  // namespace

TEST(UserDefaults, ValuesKeepTheirKindAcrossInstances) {
  const QString path = tst::tempPath("Tessaly.conf");
  {
    auto defaults = UserDefaults::withFile(path);
    for (const Stored& s : storedValues()) defaults->setObject(s.value, s.key);
    defaults->setFloat(2.2f, "IMGamma");
    ASSERT_TRUE(defaults->synchronize());
  }
  tst::saveArtifact(path, "user-defaults.conf");
  auto reopened = UserDefaults::withFile(path);
  for (const Stored& s : storedValues()) {
    SCOPED_TRACE(s.key);
    const QVariant back = reopened->objectForKey(s.key);
    EXPECT_EQ(back.metaType().id(), s.kind);
    EXPECT_TRUE(peer::same(back, s.value))
        << peer::describe(back).toStdString() << " vs " << peer::describe(s.value).toStdString();
  }
  EXPECT_EQ(reopened->floatForKey("IMGamma"), 2.2f);

  // The file stays an ordinary INI file: plain strings read as themselves.
  QSettings plain(path, QSettings::IniFormat);
  EXPECT_EQ(plain.value("IMBrushName").toString(), QString::fromUtf8("Soft round ✓"));
  EXPECT_EQ(plain.value("IMWordTrue").toString(), "true");
}

TEST(UserDefaults, TypedReadsConvertOrFallBack) {
  auto defaults = UserDefaults::withFile(tst::tempPath("typed.conf"));
  defaults->setObject(QString("YES"), "yesText");
  defaults->setObject(QString("12"), "numberText");
  defaults->setObject(QString("2.5"), "realText");
  defaults->setDouble(3.9, "real");
  defaults->setInteger(7, "integer");
  defaults->setBool(true, "flag");
  defaults->setObject(QVariantList{1}, "list");
  defaults->setDouble(1e300, "hugeReal");
  defaults->setObject(QString("-1e300"), "hugeText");
  const struct {
    const char* key;
    bool asBool;
    qint64 asInteger;
    double asDouble;
    QString asString;
  } cases[] = {
      {"absent", false, 0, 0, ""},
      {"yesText", true, 0, 0, "YES"},
      {"numberText", true, 12, 12, "12"},
      {"realText", true, 2, 2.5, "2.5"},
      {"real", true, 3, 3.9, "3.9"},
      {"integer", true, 7, 7, "7"},
      {"flag", true, 1, 1, "1"},
      {"list", false, 0, 0, ""},
      {"hugeReal", true, std::numeric_limits<qint64>::max(), 1e300, "1e+300"},
      {"hugeText", true, std::numeric_limits<qint64>::min(), -1e300, "-1e300"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.key);
    EXPECT_EQ(defaults->boolForKey(c.key), c.asBool);
    EXPECT_EQ(defaults->integerForKey(c.key), c.asInteger);
    EXPECT_EQ(defaults->doubleForKey(c.key), c.asDouble);
    EXPECT_EQ(defaults->stringForKey(c.key), c.asString);
  }
  EXPECT_EQ(defaults->floatForKey("hugeReal"), std::numeric_limits<float>::infinity());
  EXPECT_TRUE(defaults->dataForKey("integer").isEmpty());
  EXPECT_FALSE(defaults->dateForKey("flag").isValid());
  EXPECT_TRUE(defaults->dictionaryForKey("list").isEmpty());
  EXPECT_EQ(defaults->arrayForKey("list"), QVariantList{qint64(1)});
  EXPECT_FALSE(defaults->objectForKey("absent").isValid());
}

TEST(UserDefaults, RegisteredDefaultsFillOnlyMissingKeys) {
  const QString path = tst::tempPath("registered.conf");
  auto defaults = UserDefaults::withFile(path);
  defaults->registerDefaults({{"IMGridSize", 16}, {"IMShowGrid", true}});
  defaults->setInteger(32, "IMGridSize");
  EXPECT_EQ(defaults->integerForKey("IMGridSize"), 32);
  EXPECT_TRUE(defaults->boolForKey("IMShowGrid"));
  defaults->removeObjectForKey("IMGridSize");
  EXPECT_EQ(defaults->integerForKey("IMGridSize"), 16);
  defaults->setObject(QVariant(), "IMShowGrid");
  EXPECT_TRUE(defaults->hasKey("IMShowGrid"));
  ASSERT_TRUE(defaults->synchronize());
  // Registered values are never written out.
  EXPECT_FALSE(UserDefaults::withFile(path)->hasKey("IMGridSize"));
}

TEST(UserDefaults, UnstorableValuesAreIgnored) {
  auto defaults = UserDefaults::withFile(tst::tempPath("ignored.conf"));
  defaults->setInteger(1, "kept");
  defaults->setObject(QPointF(1, 2), "kept");
  defaults->setObject(QVariantList{QPointF(1, 2)}, "list");
  EXPECT_EQ(defaults->integerForKey("kept"), 1);
  EXPECT_FALSE(defaults->hasKey("list"));
}

TEST(UserDefaults, StandardDefaultsLiveInTheConfigFolder) {
  const QString expected = qEnvironmentVariable("TESSALY_CONFIG_HOME") + "/Tessaly.conf";
  EXPECT_EQ(UserDefaults::standardFilePath(), expected);
  UserDefaults& standard = UserDefaults::standardUserDefaults();
  EXPECT_EQ(standard.filePath(), expected);
  standard.setBool(true, "IMTestRan");
  ASSERT_TRUE(standard.synchronize());
  EXPECT_TRUE(QFile::exists(expected));
  EXPECT_TRUE(UserDefaults::withFile(expected)->boolForKey("IMTestRan"));
  tst::saveArtifact(expected, "user-defaults-standard.conf");
}
