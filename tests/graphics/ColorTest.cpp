// Colour helpers: conversions, components, and archiving through the keyed
// archiver (checked in the archive's bytes with python's plistlib).
#include <gtest/gtest.h>

#include <QFile>
#include <QRegularExpression>

#include "TestSupport.h"
#include "foundation/KeyedArchiver.h"
#include "graphics/ArchivedColor.h"
#include "graphics/Color.h"

using namespace gfx;

TEST(Color, ComponentsAndConversions) {
  const struct {
    QColor in;
    std::array<double, 4> rgba;
  } table[] = {
      {QColor(255, 0, 0), {1, 0, 0, 1}},
      {QColor::fromHsvF(1.0f / 3, 1, 1), {0, 1, 0, 1}},
      {QColor::fromCmykF(0, 0, 0, 1), {0, 0, 0, 1}},
      {colorWithWhite(0.25, 0.5), {0.25, 0.25, 0.25, 0.5}},
      {colorWithRGBA(0.1, 0.2, 0.3, 0.4), {0.1, 0.2, 0.3, 0.4}},
      {colorWithRGBA(-1, 2, 0.5), {0, 1, 0.5, 1}},  // clamped
  };
  for (const auto& row : table) {
    auto c = components(row.in);
    for (int i = 0; i < 4; ++i) EXPECT_NEAR(c[i], row.rgba[i], 1.0 / 65535) << i;
    EXPECT_EQ(deviceRGB(row.in).spec(), QColor::Rgb);
  }
  auto pre = premultipliedComponents(colorWithRGBA(0.5, 1, 0, 0.5));
  EXPECT_NEAR(pre[0], 0.25, 1e-4);
  EXPECT_NEAR(pre[1], 0.5, 1e-4);
  EXPECT_TRUE(colorsEqual(blendedColor(Qt::black, 0.5, Qt::white), colorWithWhite(0.5)));
  EXPECT_TRUE(colorsEqual(colorWithAlphaComponent(Qt::red, 0.2), colorWithRGBA(1, 0, 0, 0.2)));
  const struct {
    QColor result, wanted;
  } levels[] = {
      {highlightWithLevel(colorWithRGBA(0.2, 0.4, 0.6, 0.5), 0.5),
       colorWithRGBA(0.6, 0.7, 0.8, 0.5)},
      {shadowWithLevel(colorWithRGBA(0.2, 0.4, 0.6), 0.5), colorWithRGBA(0.1, 0.2, 0.3)},
      {shadowWithLevel(Qt::white, 2), colorWithRGBA(0, 0, 0)},  // level clamped
  };
  for (const auto& row : levels) EXPECT_TRUE(colorsEqual(row.result, row.wanted, 1e-4));
  EXPECT_NEAR(brightness(Qt::white), 1, 1e-9);
  EXPECT_NEAR(brightness(colorWithRGBA(0, 1, 0)), 0.587, 1e-4);
}

TEST(Color, ArchivesRoundTrip) {
  const QColor colors[] = {colorWithRGBA(0.1, 0.2, 0.3, 0.4), QColor(Qt::red), colorWithWhite(0.75),
                           colorWithWhite(0.2, 0.6), QColor(Qt::transparent)};
  for (const QColor& color : colors) {
    QColor plain = unarchivedColor(archivedColor(color));
    EXPECT_TRUE(colorsEqual(plain, color, 1e-9));

    QByteArray archive = archivedDataWithColor(color);
    ASSERT_FALSE(archive.isEmpty());
    fnd::Error error;
    QColor back = colorWithArchivedData(archive, &error);
    EXPECT_TRUE(error.isNull()) << error.localizedDescription().toStdString();
    EXPECT_TRUE(colorsEqual(back, color, 1e-9)) << color.name(QColor::HexArgb).toStdString();
  }
  EXPECT_FALSE(unarchivedColor({{"space", "cmyk"}}).isValid());

  // An independent reader sees the usual layout.
  QByteArray archive = archivedDataWithColor(colorWithRGBA(1, 0.5, 0, 1));
  tst::saveArtifactData(archive, "graphics-archived-color.plist");
  if (tst::haveTool("python3")) {
    QString path = tst::tempPath("color.plist");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(archive);
    file.close();
    QString output;
    ASSERT_EQ(tst::runTool("python3",
                           {"-c",
                            "import plistlib,sys\n"
                            "p=plistlib.load(open(sys.argv[1],'rb'))\n"
                            "o=p['$objects'][p['$top']['root'].data]\n"
                            "print(o['NSColorSpace'], p['$objects'][o['NSRGB'].data])\n"
                            "print(p['$objects'][o['$class'].data]['$classname'])",
                            path},
                           &output),
              0)
        << output.toStdString();
    // Components are kept to 1/65535, so 0.5 reads back as 0.50000…
    EXPECT_TRUE(output.contains(QRegularExpression(R"(1 b'1 0\.500\d* 0\\x00')")))
        << output.toStdString();
    EXPECT_TRUE(output.contains("NSColor")) << output.toStdString();
  }

  fnd::Error error;
  EXPECT_FALSE(colorWithArchivedData("junk", &error).isValid());
  EXPECT_FALSE(error.isNull());
  EXPECT_FALSE(
      colorWithArchivedData(fnd::KeyedArchiver::archivedDataWithRootObject(QString("x")), &error)
          .isValid());
}
