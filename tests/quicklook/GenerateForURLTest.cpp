#include <gtest/gtest.h>

#include <QUrl>
#include <optional>

#include "QuickLookTestStores.h"
#include "TestSupport.h"
#include "imageio/ImageSource.h"
#include "plugin/UUID.h"
#include "quicklook/QuickLookGeneratorPlugin.h"

namespace {

// What a request received: each hand-over, with its type and properties.
struct Sink {
  int calls = 0;
  QByteArray data;
  QString contentType;
  std::optional<QLPreviewProperties> properties;

  static void preview(void* context, const void* bytes, size_t length, const char* type,
                      const QLPreviewProperties* properties) {
    auto* sink = static_cast<Sink*>(context);
    ++sink->calls;
    sink->data = QByteArray(static_cast<const char*>(bytes), qsizetype(length));
    sink->contentType = QString::fromUtf8(type);
    if (properties) sink->properties = *properties;
  }
  static void thumbnail(void* context, const void* bytes, size_t length,
                        const QLPreviewProperties* properties) {
    preview(context, bytes, length, "", properties);
  }
  QImage pixels() const {
    io::ImageSourcePtr source = io::ImageSource::createWithData(data);
    gfx::CGImagePtr image = source ? source->createImageAtIndex(0) : nullptr;
    return image ? image->toFormat(QImage::Format_RGBA8888) : QImage();
  }
};

QByteArray urlOf(const QString& path) { return QUrl::fromLocalFile(path).toEncoded(); }

Sink preview(const QString& path) {
  Sink sink;
  __QLPreviewRequest request{&sink, Sink::preview};
  EXPECT_EQ(GeneratePreviewForURL(nullptr, &request, urlOf(path).constData(),
                                  "com.brenwick.tessaly", nullptr),
            0);
  return sink;
}

Sink thumbnail(const QString& path, double side) {
  Sink sink;
  __QLThumbnailRequest request{&sink, Sink::thumbnail};
  EXPECT_EQ(GenerateThumbnailForURL(nullptr, &request, urlOf(path).constData(),
                                    "com.brenwick.tessaly", nullptr, QLSize{side, side}),
            0);
  return sink;
}

}  // namespace

// Previews fit within 1024 × 768 and thumbnails within the request's size,
// keeping the proportions and never enlarging; a preview tells its
// fractional size, a thumbnail tells nothing; the pixels are the rounded
// size, as TIFF data of any image type.
TEST(GenerateForURLTest, FittedSizes) {
  struct Case {
    QSizeF canvas;
    double thumbnailSide;  // 0 for a preview
    QSize pixels;
    QSizeF told;
  } cases[] = {
      {{4000, 3000}, 0, {1024, 768}, {1024, 768}},
      {{800, 600}, 0, {800, 600}, {800, 600}},
      {{3000, 1000}, 0, {1024, 341}, {1024, 1024.0 / 3}},
      {{400, 200}, 128, {128, 64}, {}},
      {{60, 40}, 256, {60, 40}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(QStringLiteral("%1 × %2 at %3")
                     .arg(c.canvas.width())
                     .arg(c.canvas.height())
                     .arg(c.thumbnailSide)
                     .toStdString());
    const QString path = tst::tempPath("fitted.zova");
    writeStore(path, c.canvas, {{QRect(0, 0, 40, 40), Qt::blue}});
    const Sink sink = c.thumbnailSide > 0 ? thumbnail(path, c.thumbnailSide) : preview(path);
    ASSERT_EQ(sink.calls, 1);
    EXPECT_EQ(sink.pixels().size(), c.pixels);
    if (c.thumbnailSide > 0) {
      EXPECT_FALSE(sink.properties.has_value());
    } else {
      EXPECT_EQ(sink.contentType, kUTTypeImage);
      ASSERT_TRUE(sink.properties.has_value());
      EXPECT_DOUBLE_EQ(sink.properties->width, c.told.width());
      EXPECT_DOUBLE_EQ(sink.properties->height, c.told.height());
    }
  }
}

// The layers are flattened with alpha at the fitted size: a half-opaque
// layer stays half-opaque, the canvas around it stays clear, and a layer
// above another covers it.
TEST(GenerateForURLTest, FlattenedWithAlpha) {
  const QString path = tst::tempPath("alpha.zova");
  writeStore(path, QSizeF(400, 200),
             {{QRect(0, 0, 100, 200), QColor(0, 0, 255), 1.0},
              {QRect(0, 0, 200, 200), QColor(255, 0, 0), 0.5}});
  const Sink sink = thumbnail(path, 128);
  ASSERT_EQ(sink.calls, 1);
  tst::saveArtifactData(sink.data, "quicklook-thumbnail-alpha.tiff");
  const QImage image = sink.pixels();
  ASSERT_EQ(image.size(), QSize(128, 64));
  struct Probe {
    QPoint at;  // top row first
    QColor expected;
  } probes[] = {
      {{10, 32}, QColor(0, 0, 255, 255)},  // the opaque layer on top
      {{48, 10}, QColor(255, 0, 0, 128)},  // the half-opaque one alone
      {{100, 32}, QColor(0, 0, 0, 0)},     // nothing there
  };
  for (const Probe& p : probes) {
    const QColor got = image.pixelColor(p.at);
    SCOPED_TRACE(got.name(QColor::HexArgb).toStdString());
    EXPECT_NEAR(got.alpha(), p.expected.alpha(), 2);
    if (p.expected.alpha() > 0) {
      EXPECT_NEAR(got.red(), p.expected.red(), 3);
      EXPECT_NEAR(got.blue(), p.expected.blue(), 3);
    }
  }
}

// Files that give no image leave the request untouched.
TEST(GenerateForURLTest, NoImageLeavesTheRequestUntouched) {
  const QString rootless = tst::tempPath("rootless.zova");
  writeRootlessStore(rootless);
  const QString huge = tst::tempPath("huge.zova");
  writeStore(huge, QSizeF(30001, 10), {{QRect(0, 0, 8, 8), Qt::red}});
  const QString thin = tst::tempPath("thin.zova");
  writeStore(thin, QSizeF(4000, 1), {{QRect(0, 0, 8, 1), Qt::red}});
  for (const QString& path : {rootless, huge, thin, tst::tempPath("missing.zova")}) {
    SCOPED_TRACE(path.toStdString());
    EXPECT_EQ(preview(path).calls, 0);
    EXPECT_EQ(thumbnail(path, 128).calls, 0);
  }
}
