#include <gtest/gtest.h>

#include <QFile>
#include <QFontDatabase>

#include "ModelImageTestHelpers.h"
#include "TestSupport.h"
#include "foundation/KeyedArchiver.h"
#include "foundation/KeyedUnarchiver.h"
#include "foundation/UserDefaults.h"
#include "graphics/ArchivedColor.h"
#include "graphics/AttributedString.h"
#include "graphics/Color.h"
#include "model/FontCoding.h"
#include "model/Settings.h"
#include "model/TextAttributesCoding.h"

namespace {

const QStringList SettingsDefaultsKeys{
    "IMDefautColor", "IMDefautFont",        "IMDefautFontAttributes", "IMHideLayers",
    "IMHideFilters", "IMDrawingGridColor2", "IMDrawingGridSize"};

fnd::UserDefaults& defaults() { return fnd::UserDefaults::standardUserDefaults(); }

// Records the delegate calls and the announced keys in order.
struct Spy : SettingsDelegate {
  int delegateCalls = 0;
  QStringList announced;
  void settingsDidChanged() override { ++delegateCalls; }
  void watch(Settings& settings, const QStringList& keys) {
    for (const QString& key : keys)
      settings.addObserver(key, fnd::ObservingNew,
                           [this](fnd::Observable*, const QString& k, const fnd::KeyValueChange&) {
                             announced << k;
                           });
  }
};

class SettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const QString& key : SettingsDefaultsKeys) defaults().removeObjectForKey(key);
  }
};

bool sameColor(const QColor& a, const QColor& b) { return gfx::colorsEqual(a, b, 1e-4); }

TEST_F(SettingsTest, MissingDefaultsAreWrittenBack) {
  const QColor blue = gfx::colorWithRGBA(0, 0, 0.5, 1);
  const QColor grid = gfx::colorWithRGBA(0.87, 0.82, 0.82, 0.1);
  EXPECT_TRUE(sameColor(Settings::defaultColor(), blue));
  EXPECT_TRUE(sameColor(Settings::drawingGridColor(), grid));
  EXPECT_EQ(Settings::drawingGridSize(), 10);
  EXPECT_FALSE(Settings::mustHideLayersAtWindowOpening());
  EXPECT_FALSE(Settings::mustHideFiltersAtWindowOpening());
  EXPECT_TRUE(Settings::defaultFontAttributes().isEmpty());
  const gfx::Font font = Settings::defaultFont();
  EXPECT_EQ(font.pointSize(), 40);

  for (const QString& key : SettingsDefaultsKeys)
    EXPECT_TRUE(defaults().hasKey(key)) << key.toStdString();
  EXPECT_TRUE(sameColor(gfx::colorWithArchivedData(defaults().dataForKey("IMDefautColor")), blue));
  EXPECT_TRUE(
      sameColor(gfx::colorWithArchivedData(defaults().dataForKey("IMDrawingGridColor2")), grid));
  EXPECT_EQ(defaults().integerForKey("IMDrawingGridSize"), 10);
  EXPECT_EQ(defaults().objectForKey("IMHideLayers"), QVariant(false));
  gfx::Font stored;
  ASSERT_TRUE(fontWithArchivedData(defaults().dataForKey("IMDefautFont"), &stored));
  EXPECT_EQ(stored.pointSize(), 40);
  tst::saveArtifactData(defaults().dataForKey("IMDefautFont"), "model-settings-default-font.plist");

  // Stored values win over the built-in defaults.
  defaults().setBool(true, "IMHideFilters");
  defaults().setInteger(24, "IMDrawingGridSize");
  defaults().setObject(gfx::archivedDataWithColor(Qt::green), "IMDefautColor");
  EXPECT_TRUE(Settings::mustHideFiltersAtWindowOpening());
  EXPECT_EQ(Settings::drawingGridSize(), 24);
  EXPECT_TRUE(sameColor(Settings::defaultColor(), Qt::green));
}

TEST_F(SettingsTest, MissingFontFamiliesFallBackToTheSansSerifAtTheSameSize) {
  const QString sans = gfx::Font().familyName();
  const bool haveLucida = QFontDatabase::hasFamily("Lucida Grande");
  const gfx::Font fresh = Settings::defaultFont();
  EXPECT_TRUE(QFontDatabase::hasFamily(fresh.fontName())) << fresh.fontName().toStdString();
  EXPECT_EQ(fresh.fontName(), haveLucida ? QString("Lucida Grande") : sans);

  // A font stored on a machine that has it keeps its name in the defaults,
  // and is drawn here with the fallback at its size.
  Settings::setDefaultFont(gfx::Font("No Such Family Tessaly", 17));
  const gfx::Font fallback = Settings::defaultFont();
  EXPECT_EQ(fallback.fontName(), sans);
  EXPECT_EQ(fallback.pointSize(), 17);
  gfx::Font stored;
  ASSERT_TRUE(fontWithArchivedData(defaults().dataForKey("IMDefautFont"), &stored));
  EXPECT_EQ(stored.fontName(), "No Such Family Tessaly");

  // Damaged stored data: the built-in default, never a font without a family.
  defaults().setObject(QByteArray("garbage"), "IMDefautFont");
  EXPECT_TRUE(QFontDatabase::hasFamily(Settings::defaultFont().fontName()));
  EXPECT_EQ(Settings::defaultFont().pointSize(), 40);
}

TEST_F(SettingsTest, LazyFillsAnnounceAndReport) {
  Settings settings;
  Spy spy;
  settings.setDelegate(&spy);
  spy.watch(settings, {"zoomNumber", "zoom", "layersUIVisibleNumber", "layersUIVisible"});
  EXPECT_EQ(settings.zoom(), 1.0);
  EXPECT_EQ(spy.announced, (QStringList{"zoomNumber", "zoom"}));
  EXPECT_EQ(spy.delegateCalls, 2);
  EXPECT_EQ(settings.zoom(), 1.0);
  EXPECT_EQ(spy.delegateCalls, 2) << "filled once";

  EXPECT_FALSE(defaults().hasKey("IMHideLayers"));
  EXPECT_TRUE(settings.layersUIVisible());
  EXPECT_EQ(defaults().objectForKey("IMHideLayers"), QVariant(false));
  defaults().setBool(true, "IMHideFilters");
  EXPECT_FALSE(settings.filtersUIVisible());

  struct Fill {
    const char* name;
    std::function<QVariant()> read;
    QVariant expected;
  };
  Settings fresh;
  const Fill fills[] = {
      {"pencilSize", [&] { return QVariant(fresh.pencilSize()); }, 10.0},
      {"radius", [&] { return QVariant(fresh.roundedCornerRadius()); }, 0.0},
      {"color2 alpha", [&] { return QVariant(fresh.color2().alphaF()); }, 0.0},
      {"color1 blue", [&] { return QVariant(qRound(fresh.color1().blueF() * 1000)); }, 500},
      {"font size", [&] { return QVariant(fresh.font().pointSize()); }, 40.0},
  };
  for (const Fill& f : fills) EXPECT_EQ(f.read(), f.expected) << f.name;
  EXPECT_EQ(fresh.pencilSizeNumber().typeId(), QMetaType::Float) << "a number made from a float";
}

TEST_F(SettingsTest, TextAttributesHoldTheDefaultFontAndColour) {
  Settings settings;
  Spy spy;
  settings.setDelegate(&spy);
  spy.watch(settings, {"color1", "textAttributes"});
  const QVariantMap attributes = settings.textAttributes();
  EXPECT_EQ(gfx::fontOfAttributes(attributes), Settings::defaultFont());
  EXPECT_TRUE(sameColor(gfx::colorOfAttributes(attributes), gfx::colorWithRGBA(0, 0, 0.5, 1)));
  EXPECT_EQ(spy.announced, (QStringList{"color1", "textAttributes"})) << "color1 fills first";

  // Stored default attributes are merged under the font and colour.
  Settings::setDefaultFontAttributes(
      {{gfx::KernAttributeName, 2.5}, {gfx::ForegroundColorAttributeName, QColor(Qt::red)}});
  Settings other;
  other.setColor1(Qt::green);
  const QVariantMap merged = other.textAttributes();
  EXPECT_EQ(merged.value(gfx::KernAttributeName).toDouble(), 2.5);
  EXPECT_TRUE(sameColor(gfx::colorOfAttributes(merged), Qt::green));
}

TEST_F(SettingsTest, SettersAnnounceNumberKeyThenDerivedKey) {
  Settings settings;
  Spy spy;
  settings.setDelegate(&spy);
  spy.watch(settings, {"pencilSizeNumber", "pencilSize", "zoomNumber", "zoom"});
  settings.setPencilSize(25);
  EXPECT_EQ(settings.pencilSizeNumber().toDouble(), 25);
  EXPECT_EQ(settings.pencilSize(), 25);
  EXPECT_EQ(spy.announced, (QStringList{"pencilSizeNumber", "pencilSize"}));
  EXPECT_EQ(spy.delegateCalls, 2);
  settings.setZoomNumber(QVariant(3.0));
  EXPECT_EQ(settings.zoom(), 3.0);
  EXPECT_EQ(spy.announced.mid(2), (QStringList{"zoomNumber", "zoom"}));
  settings.setDelegate(nullptr);
  settings.setRoundedCornerRadius(4);
  EXPECT_EQ(spy.delegateCalls, 4) << "no delegate, no report";
}

TEST_F(SettingsTest, ArchiveRoundTripFillsDefaultsFirst) {
  Settings::registerClass();
  auto settings = std::make_shared<Settings>();
  Spy spy;
  settings->setDelegate(&spy);
  settings->setRoundedCornerRadius(6.5);
  settings->setColor2(QColor(10, 20, 30, 40));
  const QByteArray data =
      fnd::KeyedArchiver::archivedDataWithRootObject(QVariant::fromValue(fnd::CodingPtr(settings)));
  ASSERT_FALSE(data.isEmpty());
  EXPECT_GT(spy.delegateCalls, 8) << "archiving filled the defaults";
  tst::saveArtifactData(data, "model-settings-archive.plist");

  if (tst::haveTool("python3")) {
    const QString path = mht::writeTemp(data, "settings.plist");
    QString output;
    ASSERT_EQ(
        tst::runTool(
            "python3",
            {"-c",
             "import plistlib,sys; d=plistlib.load(open(sys.argv[1],'rb')); o=d['$objects'];"
             "r=o[d['$top']['root'].data]; print(','.join(sorted(k for k in r if k!='$class')))",
             path},
            &output),
        0)
        << output.toStdString();
    EXPECT_EQ(output.trimmed(),
              "color1,color2,filtersUIVisibleNumber,font,layersUIVisibleNumber,pencilSizeNumber,"
              "roundedCornerRadius,textAttributes,zoomNumber");
  }

  fnd::Error error;
  const QVariant root = fnd::KeyedUnarchiver::unarchiveObjectWithData(data, &error);
  auto decoded = std::dynamic_pointer_cast<Settings>(root.value<fnd::CodingPtr>());
  ASSERT_TRUE(decoded) << error.localizedDescription().toStdString();
  Spy after;
  decoded->setDelegate(&after);
  EXPECT_EQ(decoded->layersUIVisible(), settings->layersUIVisible());
  EXPECT_EQ(decoded->filtersUIVisible(), settings->filtersUIVisible());
  EXPECT_EQ(decoded->roundedCornerRadius(), 6.5);
  EXPECT_EQ(decoded->zoom(), 1.0);
  EXPECT_EQ(decoded->pencilSize(), 10.0);
  EXPECT_TRUE(sameColor(decoded->color1(), settings->color1()));
  EXPECT_TRUE(gfx::colorsEqual(decoded->color2(), QColor(10, 20, 30, 40)))
      << decoded->color2().name(QColor::HexArgb).toStdString();
  EXPECT_EQ(decoded->font(), settings->font());
  EXPECT_EQ(gfx::fontOfAttributes(decoded->textAttributes()),
            gfx::fontOfAttributes(settings->textAttributes()));
  EXPECT_TRUE(sameColor(gfx::colorOfAttributes(decoded->textAttributes()), settings->color1()));
  EXPECT_EQ(after.delegateCalls, 0) << "every value came from the archive, none was filled";
}

TEST_F(SettingsTest, MissingArchiveKeysFillLaterAndDamagedValuesAreIgnored) {
  Settings::registerClass();
  fnd::KeyedArchiver partial;
  partial.encodeObject(QVariant(2.0), "zoomNumber");
  partial.encodeObject(QString("not a number"), "pencilSizeNumber");
  partial.encodeObject(QString("not a colour"), "color1");
  const QByteArray data = partial.encodedData();
  auto coder = fnd::KeyedUnarchiver::create(data);
  ASSERT_TRUE(coder);
  Settings decoded(*coder);
  Spy spy;
  decoded.setDelegate(&spy);
  EXPECT_EQ(decoded.zoom(), 2.0);
  EXPECT_EQ(decoded.roundedCornerRadius(), 0);
  EXPECT_EQ(spy.delegateCalls, 0);
  EXPECT_EQ(decoded.pencilSize(), 10.0);
  EXPECT_TRUE(sameColor(decoded.color1(), Settings::defaultColor()));
  EXPECT_GT(spy.delegateCalls, 0);
}

TEST_F(SettingsTest, TextAttributesSurviveTheirArchive) {
  gfx::ParagraphStyle style;
  style.alignment = gfx::TextAlignment::Center;
  style.lineSpacing = 3;
  const QVariantMap attributes{
      {gfx::FontAttributeName, gfx::fontValue(gfx::Font("DejaVu Serif", 22, true))},
      {gfx::ForegroundColorAttributeName, QColor(1, 2, 3)},
      {gfx::ParagraphStyleAttributeName, gfx::paragraphStyleValue(style)},
      {gfx::UnderlineStyleAttributeName, 1},
      {"Unarchivable", QVariant::fromValue(QPointF(1, 2))}};
  QVariantMap back;
  ASSERT_TRUE(textAttributesWithArchivedData(archivedDataWithTextAttributes(attributes), &back));
  EXPECT_EQ(gfx::fontOfAttributes(back), gfx::Font("DejaVu Serif", 22, true));
  EXPECT_TRUE(gfx::colorsEqual(gfx::colorOfAttributes(back), QColor(1, 2, 3)));
  EXPECT_EQ(gfx::paragraphStyleOfAttributes(back), style);
  EXPECT_EQ(back.value(gfx::UnderlineStyleAttributeName).toInt(), 1);
  EXPECT_FALSE(back.contains("Unarchivable"));
  fnd::Error error;
  EXPECT_FALSE(textAttributesWithArchivedData(QByteArray("nope"), &back, &error));
  EXPECT_FALSE(error.isNull());
}

}  // namespace

TEST_F(SettingsTest, DefaultFontsSurviveTheirArchive) {
  const gfx::Font plain;
  gfx::Font decoded;
  fnd::Error error;
  ASSERT_TRUE(fontWithArchivedData(archivedDataWithFont(plain), &decoded, &error))
      << error.localizedDescription().toStdString();
  EXPECT_EQ(decoded.familyName(), plain.familyName());
  EXPECT_EQ(decoded.pointSize(), plain.pointSize());
}
