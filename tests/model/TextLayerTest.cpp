#include <gtest/gtest.h>

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <cmath>
#include <limits>

#include "ModelImageTestHelpers.h"
#include "ModelTestSupport.h"
#include "TestSupport.h"
#include "foundation/KeyedArchiver.h"
#include "foundation/KeyedUnarchiver.h"
#include "graphics/GraphicsContext.h"
#include "model/ComposedImage.h"
#include "model/Filter.h"
#include "model/IMImagesUtilities.h"
#include "model/IMManagedObject.h"
#include "model/Image.h"
#include "model/Settings.h"
#include "model/TextLayer.h"
#include "model/TextLayerAttributedStringCoding.h"
#include "model/TextLayerFontScaling.h"

namespace {

const QString MissingFamily = QStringLiteral("No Such Family Tessaly");

QString defaultFamily() { return gfx::Font().familyName(); }

gfx::Font fontAt(const gfx::AttributedString& string, int index) {
  return gfx::fontOfAttributes(string.attributesAtIndex(index));
}

QVariantMap style(const QString& family, double size, const QColor& color) {
  return {{gfx::FontAttributeName, gfx::fontValue(gfx::Font(family, size))},
          {gfx::ForegroundColorAttributeName, color}};
}

struct TextDocument {
  ModelDocument document;
  ComposedImage* composedImage = nullptr;
  std::shared_ptr<Settings> settings;
  explicit TextDocument(bool withSettings = true) {
    composedImage = document.context->insertNewObject<ComposedImage>("ComposedImage");
    composedImage->setSize(QSizeF(200, 120));
    if (withSettings) {
      settings = std::make_shared<Settings>();
      settings->setTextAttributes(style("DejaVu Serif", 20, Qt::black));
      settings->setColor1(Qt::red);
      composedImage->setSettings(settings);
    }
  }
  TextLayer* newLayer(bool changeName = true) {
    return TextLayer::createLayerWithComposedImage(composedImage, document.context.get(),
                                                   changeName);
  }
};

QImage textPixels(const TextLayer* layer) {
  const ci::Image image = layer->ciImage();
  if (image.isNull()) return {};
  return mht::pixelsOf(ima_nsImageWithSize(image, image.extent().size()));
}

bool isInk(const QColor& c, const QColor& ink) {
  return c.alpha() > 160 && mht::near(c, QColor(ink.red(), ink.green(), ink.blue(), c.alpha()), 70);
}

// An archive that claims to be an attributed string but whose runs lie.
class ForgedAttributedString : public fnd::Coding {
 public:
  ForgedAttributedString(QString text, QVariant runs)
      : text_(std::move(text)), runs_(std::move(runs)) {}
  QString archiveClassName() const override { return QStringLiteral("NSAttributedString"); }
  void encodeWithCoder(fnd::KeyedArchiver& coder) const override {
    coder.encodeString(text_, QStringLiteral("NSString"));
    coder.encodeObject(runs_, QStringLiteral("TSRuns"));
  }

 private:
  QString text_;
  QVariant runs_;
};

// A paragraph style archive with one spacing of any value.
class ForgedParagraphStyle : public fnd::Coding {
 public:
  explicit ForgedParagraphStyle(double lineSpacing) : lineSpacing_(lineSpacing) {}
  QString archiveClassName() const override { return QStringLiteral("NSParagraphStyle"); }
  void encodeWithCoder(fnd::KeyedArchiver& coder) const override {
    coder.encodeDouble(lineSpacing_, QStringLiteral("TSLineSpacing"));
  }

 private:
  double lineSpacing_;
};

}  // namespace

TEST(TextLayerTest, NewLayersTakeTheSettingsStyleOrTheDefaultSansSerif) {
  struct Case {
    const char* name;
    bool withSettings;
    QString family;
    double size;
    QColor color1;
    QString expectedFamily;
    double expectedSize;
    QColor expectedColor;
  };
  const Case cases[] = {
      {"settings font", true, "DejaVu Serif", 20, Qt::red, "DejaVu Serif", 20, Qt::red},
      {"no settings", false, {}, 0, {}, defaultFamily(), 12, Qt::black},
      {"missing family", true, MissingFamily, 18, Qt::blue, defaultFamily(), 18, Qt::blue},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TextDocument doc(c.withSettings);
    if (doc.settings) {
      doc.settings->setTextAttributes(style(c.family, c.size, Qt::green));
      doc.settings->setColor1(c.color1);
    }
    TextLayer* layer = doc.newLayer();
    ASSERT_NE(layer, nullptr);
    EXPECT_EQ(layer->entity()->name(), "TextLayer");
    EXPECT_EQ(layer->image(), nullptr);
    const gfx::AttributedString text = layer->attributedString();
    EXPECT_EQ(text.string(), " ");
    EXPECT_EQ(layer->name(), " ");
    ASSERT_EQ(text.runs().size(), 1);
    EXPECT_EQ(fontAt(text, 0).familyName(), c.expectedFamily);
    EXPECT_DOUBLE_EQ(fontAt(text, 0).pointSize(), c.expectedSize);
    EXPECT_EQ(gfx::colorOfAttributes(text.attributesAtIndex(0)), c.expectedColor);
    // A blank in a real font still has a line's height, so it is drawn.
    EXPECT_GT(layer->imageSizeForceNoFilters(true).height(), 0);
    EXPECT_FALSE(layer->isEmpty());
    EXPECT_TRUE(layer->isText());
    if (doc.settings) {
      // The uniform new text is the style of the next text.
      const QVariantMap next = doc.settings->textAttributes();
      EXPECT_EQ(gfx::fontOfAttributes(next).familyName(), c.expectedFamily);
      EXPECT_EQ(gfx::colorOfAttributes(next), c.expectedColor);
    }
  }

  TextDocument doc;
  TextLayer* unnamed = doc.newLayer(false);
  ASSERT_NE(unnamed, nullptr);
  EXPECT_EQ(unnamed->attributedString().length(), 0);
  EXPECT_TRUE(unnamed->name().isEmpty());
  EXPECT_TRUE(unnamed->ciImage().isNull());
  EXPECT_FALSE(unnamed->isEmpty());
  EXPECT_DOUBLE_EQ(unnamed->textMaxDescender(), 0);
}

TEST(TextLayerTest, BaselineStaysWhenTheDeepestDescentChanges) {
  struct Case {
    const char* name;
    double fromSize;
    double toSize;
    bool secondRunLarger;  // the new text has a second, larger run
  };
  const Case cases[] = {
      {"grow", 12, 36, false},
      {"shrink", 36, 12, false},
      {"larger second run", 20, 20, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TextDocument doc;
    TextLayer* layer = doc.newLayer();
    layer->setAttributedString(gfx::AttributedString("Tg", gfx::Font("DejaVu Sans", c.fromSize)));
    layer->setYOrigin(100);
    const double before = layer->textMaxDescender();
    const double baseline = layer->yOrigin() - before;
    EXPECT_DOUBLE_EQ(before, gfx::Font("DejaVu Sans", c.fromSize).descender());
    EXPECT_LT(before, 0);

    gfx::AttributedString edited("Tgy", gfx::Font("DejaVu Sans", c.toSize));
    if (c.secondRunLarger)
      edited.addAttribute(gfx::FontAttributeName, gfx::fontValue(gfx::Font("DejaVu Sans", 60)), 2,
                          1);
    layer->setAttributedString(edited);
    const double after = layer->textMaxDescender();
    EXPECT_NEAR(layer->realYOrigin(), baseline, 1e-9);
    EXPECT_EQ(layer->name(), "Tgy");
    // Whole-number origins: within half a pixel of the kept baseline.
    EXPECT_NEAR(layer->yOrigin() - after, baseline, 0.5);
    if (after < before) {
      EXPECT_LT(layer->yOrigin(), 100);
    } else if (after > before) {
      EXPECT_GT(layer->yOrigin(), 100);
    }
  }
}

TEST(TextLayerTest, OnlyAUniformTextBecomesTheNextTextStyle) {
  struct Case {
    const char* name;
    bool twoStyles;
    QString expectedFamily;
  };
  const Case cases[] = {{"one style", false, "DejaVu Sans Mono"},
                        {"two styles", true, "DejaVu Serif"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TextDocument doc;
    TextLayer* layer = doc.newLayer();
    gfx::AttributedString text("ab", style("DejaVu Sans Mono", 30, Qt::darkGreen));
    if (c.twoStyles) text.addAttribute(gfx::ForegroundColorAttributeName, QColor(Qt::blue), 1, 1);
    doc.settings->setTextAttributes(style("DejaVu Serif", 20, Qt::black));
    layer->setAttributedString(text);
    const QVariantMap next = doc.settings->textAttributes();
    EXPECT_EQ(gfx::fontOfAttributes(next).familyName(), c.expectedFamily);
    EXPECT_EQ(gfx::colorOfAttributes(next),
              c.twoStyles ? QColor(Qt::black) : QColor(Qt::darkGreen));
  }
}

TEST(TextLayerTest, ZoomScalesTheFontsAndKeepsTheStoredZoom) {
  struct Case {
    const char* name;
    double storedZoom;
    std::vector<double> zooms;
    std::vector<double> expectedSizes;  // after each call
  };
  const Case cases[] = {
      {"twice 2", 1, {2, 2}, {24, 48}},
      {"stored 2", 2, {4, 1}, {24, 12}},
      {"stored 0 counts as 1", 0, {2}, {24}},
      {"negative stored counts as 1", -3, {3}, {36}},
      {"non-positive zoom refused", 1, {0, -2}, {12, 12}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TextDocument doc;
    TextLayer* layer = doc.newLayer();
    layer->setAttributedString(
        gfx::AttributedString("Zoom", style("DejaVu Sans", 12, Qt::magenta)));
    layer->Layer::setZoom(c.storedZoom);
    const double height12 = layer->imageSizeForceNoFilters(true).height();
    for (size_t i = 0; i < c.zooms.size(); ++i) {
      layer->setZoom(c.zooms[i]);
      const gfx::AttributedString text = layer->attributedString();
      EXPECT_DOUBLE_EQ(fontAt(text, 0).pointSize(), c.expectedSizes[i]);
      EXPECT_EQ(fontAt(text, 0).familyName(), "DejaVu Sans");
      EXPECT_EQ(gfx::colorOfAttributes(text.attributesAtIndex(0)), QColor(Qt::magenta));
      EXPECT_DOUBLE_EQ(layer->zoom(), c.storedZoom);
      EXPECT_EQ(layer->name(), "Zoom");
      // The drawn text grows with its fonts.
      EXPECT_NEAR(layer->imageSizeForceNoFilters(true).height(), height12 * c.expectedSizes[i] / 12,
                  2 + c.expectedSizes[i] / 12);
    }
  }
}

TEST(TextLayerTest, ScalingChangesOnlyFontSizes) {
  gfx::AttributedString text("small big bare");
  text.setAttributes({{gfx::FontAttributeName, gfx::fontValue(gfx::Font("DejaVu Serif", 10, true))},
                      {gfx::ForegroundColorAttributeName, QColor(Qt::red)},
                      {gfx::KernAttributeName, 1.5}},
                     0, 6);
  text.setAttributes(style("DejaVu Sans", 30, Qt::green), 6, 4);
  text.setAttributes({{gfx::ForegroundColorAttributeName, QColor(Qt::blue)}}, 10, 4);
  struct Case {
    int index;
    QString family;
    double size;
    bool bold;
    QColor color;
  };
  const Case cases[] = {
      {0, "DejaVu Serif", 5, true, Qt::red},
      {6, "DejaVu Sans", 15, false, Qt::green},
      {10, defaultFamily(), 6, false, Qt::blue},  // no font: the default sans-serif
  };
  const gfx::AttributedString half = attributedStringWithScale(text, 0.5);
  EXPECT_EQ(half.string(), text.string());
  EXPECT_EQ(half.runs().size(), 3);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.index);
    EXPECT_EQ(fontAt(half, c.index).familyName(), c.family);
    EXPECT_DOUBLE_EQ(fontAt(half, c.index).pointSize(), c.size);
    EXPECT_EQ(fontAt(half, c.index).isBold(), c.bold);
    EXPECT_EQ(gfx::colorOfAttributes(half.attributesAtIndex(c.index)), c.color);
  }
  EXPECT_DOUBLE_EQ(half.attribute(gfx::KernAttributeName, 0).toDouble(), 1.5);
  // The receiver is left as it was.
  EXPECT_DOUBLE_EQ(fontAt(text, 6).pointSize(), 30);
}

TEST(TextLayerTest, TextIsDrawnFromTheTopOfItsRectangle) {
  TextDocument doc;
  TextLayer* layer = doc.newLayer();
  gfx::AttributedString text("HH\nHH", style("DejaVu Sans", 30, Qt::red));
  text.addAttribute(gfx::ForegroundColorAttributeName, QColor(Qt::blue), 3, 2);
  layer->setAttributedString(text);
  const QSizeF size = layer->imageSizeForceNoFilters(true);
  EXPECT_EQ(size.width(), std::ceil(text.size().width()));
  EXPECT_EQ(size.height(), std::ceil(text.size().height()));
  const QImage pixels = textPixels(layer);
  ASSERT_EQ(pixels.size(), size.toSize());
  tst::saveArtifactImage(pixels, "model-text-layer-two-lines.png");

  // In y-up rows the first line (red) lies in the upper half, the second
  // (blue) in the lower one.
  const int half = pixels.height() / 2;
  int redAbove = 0, redBelow = 0, blueAbove = 0, blueBelow = 0, lowestRed = pixels.height();
  for (int y = 0; y < pixels.height(); ++y)
    for (int x = 0; x < pixels.width(); ++x) {
      const QColor c = mht::pixelAt(pixels, x, y);
      if (isInk(c, Qt::red)) {
        (y >= half ? redAbove : redBelow)++;
        lowestRed = std::min(lowestRed, y);
      }
      if (isInk(c, Qt::blue)) (y >= half ? blueAbove : blueBelow)++;
    }
  EXPECT_GT(redAbove, 100);
  EXPECT_EQ(redBelow, 0);
  EXPECT_GT(blueBelow, 100);
  EXPECT_EQ(blueAbove, 0);
  // The first line's capitals stand on its baseline, the descent above the
  // second line.
  const gfx::Font font("DejaVu Sans", 30);
  EXPECT_LT(font.descender(), 0);
  EXPECT_DOUBLE_EQ(layer->textMaxDescender(), font.descender());
  EXPECT_NEAR(lowestRed, pixels.height() - font.ascender(), 3);

  // Placed on the canvas, the drawn text lands at the layer's origin.
  for (Layer* other : doc.composedImage->layersArray())
    if (other != layer) other->setVisible(false);
  layer->setOrigin(QPointF(30, 40));
  const QImage flat = mht::pixelsOf(doc.composedImage->finalImageKeepAlpha(true));
  ASSERT_FALSE(flat.isNull());
  for (int y = 0; y < pixels.height(); ++y)
    for (int x = 0; x < pixels.width(); ++x)
      if (!mht::near(mht::pixelAt(flat, 30 + x, 40 + y), mht::pixelAt(pixels, x, y), 2)) {
        ADD_FAILURE() << "canvas differs at " << x << "," << y;
        return;
      }
}

TEST(TextLayerTest, MissingFamiliesDrawAsTheDefaultSansSerif) {
  const char* texts[] = {"Hg", "Tessaly 42", "jqy|"};
  for (const char* string : texts) {
    SCOPED_TRACE(string);
    TextDocument doc;
    TextLayer* missing = doc.newLayer();
    TextLayer* fallback = doc.newLayer();
    missing->setAttributedString(
        gfx::AttributedString(string, style(MissingFamily, 26, Qt::black)));
    fallback->setAttributedString(
        gfx::AttributedString(string, style(defaultFamily(), 26, Qt::black)));
    // The stored text keeps the family asked for.
    EXPECT_EQ(fontAt(missing->attributedString(), 0).fontName(), MissingFamily);
    EXPECT_DOUBLE_EQ(missing->textMaxDescender(), fallback->textMaxDescender());
    const QImage a = textPixels(missing), b = textPixels(fallback);
    ASSERT_FALSE(a.isNull());
    ASSERT_EQ(a.size(), b.size());
    EXPECT_LE(mht::largestDifference(a, b), 1);
  }
}

TEST(TextLayerTest, StoredTextComesBackWithItsStyleAndPixels) {
  const QString path = tst::tempPath("text-layer.zova");
  QFile::remove(path);
  gfx::AttributedString text("Hello world");
  text.setAttributes({{gfx::FontAttributeName, gfx::fontValue(gfx::Font("DejaVu Serif", 24, true))},
                      {gfx::ForegroundColorAttributeName, QColor(200, 30, 10)},
                      {gfx::KernAttributeName, 1.5}},
                     0, 6);
  text.setAttributes(style(MissingFamily, 40, QColor(0, 0, 255, 128)), 6, 5);
  QImage before;
  double yOrigin = 0;
  {
    ModelDocument document(path);
    auto* composedImage = document.context->insertNewObject<ComposedImage>("ComposedImage");
    composedImage->setSize(QSizeF(320, 90));
    TextLayer* layer =
        TextLayer::createLayerWithComposedImage(composedImage, document.context.get(), false);
    ASSERT_NE(layer, nullptr);
    layer->setAttributedString(text);
    layer->setOrigin(QPointF(12, 20));
    yOrigin = layer->yOrigin();
    before = mht::pixelsOf(composedImage->finalImageKeepAlpha(true));
    fnd::Error error;
    ASSERT_TRUE(document.context->save(&error)) << error.localizedDescription().toStdString();
  }
  tst::saveArtifact(path, "model-text-layer-store.zova");

  ModelDocument reopened(path);
  ComposedImage* composedImage =
      ComposedImage::composedImageForManagedObjectContext(reopened.context.get());
  ASSERT_NE(composedImage, nullptr);
  ASSERT_EQ(composedImage->layersArray().size(), 1);
  auto* layer = dynamic_cast<TextLayer*>(composedImage->layersArray().first());
  ASSERT_NE(layer, nullptr);
  EXPECT_EQ(layer->name(), "Hello world");
  EXPECT_EQ(layer->yOrigin(), yOrigin);
  const gfx::AttributedString back = layer->attributedString();
  EXPECT_EQ(back.string(), text.string());
  ASSERT_EQ(back.runs().size(), 2);
  struct Case {
    int index;
    QString fontName;
    double size;
    bool bold;
    QColor color;
  };
  const Case cases[] = {{0, "DejaVu Serif", 24, true, QColor(200, 30, 10)},
                        {6, MissingFamily, 40, false, QColor(0, 0, 255, 128)}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.index);
    EXPECT_EQ(fontAt(back, c.index).fontName(), c.fontName);
    EXPECT_DOUBLE_EQ(fontAt(back, c.index).pointSize(), c.size);
    EXPECT_EQ(fontAt(back, c.index).isBold(), c.bold);
    EXPECT_TRUE(mht::near(gfx::colorOfAttributes(back.attributesAtIndex(c.index)), c.color, 1));
  }
  EXPECT_DOUBLE_EQ(back.attribute(gfx::KernAttributeName, 0).toDouble(), 1.5);

  const QImage after = mht::pixelsOf(composedImage->finalImageKeepAlpha(true));
  ASSERT_EQ(after.size(), before.size());
  EXPECT_LE(mht::largestDifference(before, after), 1);
  const QString png = tst::tempPath("text-layer-flattened.png");
  ASSERT_TRUE(after.save(png, "PNG"));
  tst::saveArtifact(png, "model-text-layer-flattened.png");
}

TEST(TextLayerTest, DamagedTextArchivesAreRefused) {
  auto runs = [](qint64 location, qint64 length, const QVariantMap& attributes = {}) {
    return QVariant(QVariantList{
        QVariantMap{{"TSLocation", location}, {"TSLength", length}, {"TSAttributes", attributes}}});
  };
  auto spaced = [](double lineSpacing) {
    return QVariantMap{
        {gfx::ParagraphStyleAttributeName,
         QVariant::fromValue(fnd::CodingPtr(std::make_shared<ForgedParagraphStyle>(lineSpacing)))}};
  };
  const qint64 largest = std::numeric_limits<qint64>::max();
  auto forged = [](const QString& text, const QVariant& runList) {
    return fnd::KeyedArchiver::archivedDataWithRootObject(QVariant::fromValue(
        fnd::CodingPtr(std::make_shared<ForgedAttributedString>(text, runList))));
  };
  struct Case {
    const char* name;
    QByteArray data;
    bool accepted;
    QString text;
  };
  const Case cases[] = {
      {"valid", archivedDataWithAttributedString(gfx::AttributedString("ok", gfx::Font())), true,
       "ok"},
      {"no runs", forged("plain", {}), true, "plain"},
      {"run past the end", forged("abc", runs(1, 5)), false, {}},
      {"negative location", forged("abc", runs(-1, 2)), false, {}},
      {"run end wrapping past 64 bits", forged("abc", runs(2, largest)), false, {}},
      {"run start wrapping past 64 bits", forged("abc", runs(largest, 2)), false, {}},
      {"usable line spacing", forged("abc", runs(0, 3, spaced(-2.5))), true, "abc"},
      {"infinite line spacing", forged("abc", runs(0, 3, spaced(qInf()))), false, {}},
      {"line spacing not a number", forged("abc", runs(0, 3, spaced(qQNaN()))), false, {}},
      {"line spacing beyond any canvas", forged("abc", runs(0, 3, spaced(1e300))), false, {}},
      {"runs not a list", forged("abc", QVariant(QStringLiteral("x"))), false, {}},
      {"not an attributed string",
       fnd::KeyedArchiver::archivedDataWithRootObject(QStringLiteral("text")),
       false,
       {}},
      {"garbage", QByteArray("bplist00garbage"), false, {}},
      {"empty", QByteArray(), false, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    gfx::AttributedString string;
    fnd::Error error;
    EXPECT_EQ(attributedStringWithArchivedData(c.data, &string, &error), c.accepted);
    EXPECT_EQ(error.isNull(), c.accepted);
    if (c.accepted) {
      EXPECT_EQ(string.string(), c.text);
    }
  }
}

TEST(TextLayerTest, ArchivedLayersBringTheirTextIntoAnotherDocument) {
  struct Case {
    const char* name;
    gfx::Font font;
    QString expectedFamily;
  };
  const Case cases[] = {
      {"named-font", gfx::Font("DejaVu Serif", 22, false, true), "DejaVu Serif"},
      // The default font has no name of its own; it travels as its family.
      {"default-font", gfx::Font(), defaultFamily()},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TextDocument source;
    TextLayer* layer = source.newLayer();
    layer->setAttributedString(gfx::AttributedString("Copied", c.font, Qt::darkCyan));
    const QByteArray data =
        fnd::KeyedArchiver::archivedDataWithRootObject(QVariant::fromValue(layer->archivable()));
    tst::saveArtifactData(data, QStringLiteral("model-text-layer-archive-%1.plist").arg(c.name));
    if (tst::haveTool("python3")) {
      // Read by an independent property-list reader: the text and the font's
      // family are plain strings of the keyed archive.
      const QString file = mht::writeTemp(data, QStringLiteral("text-layer-archive.plist"));
      QString output;
      ASSERT_EQ(tst::runTool("python3",
                             {"-c",
                              "import plistlib,sys; d=plistlib.load(open(sys.argv[1],'rb')); "
                              "print(d['$archiver']); "
                              "print(sorted(o for o in d['$objects'] if isinstance(o, str)))",
                              file},
                             &output),
                0);
      EXPECT_TRUE(output.contains("'Copied'")) << output.toStdString();
      EXPECT_TRUE(output.contains("'" + c.expectedFamily + "'")) << output.toStdString();
    }

    TextDocument target;
    IMManagedObject::setTempDecodingManagedObjectContext(target.document.context.get());
    const QVariant root = fnd::KeyedUnarchiver::unarchiveObjectWithData(data);
    IMManagedObject::resetTempDecodingManagedObjectContext();
    auto* copy = dynamic_cast<TextLayer*>(IMManagedObject::fromArchivedValue(root));
    ASSERT_NE(copy, nullptr);
    const gfx::AttributedString text = copy->attributedString();
    EXPECT_EQ(text.string(), "Copied");
    EXPECT_EQ(fontAt(text, 0).familyName(), c.expectedFamily);
    EXPECT_DOUBLE_EQ(fontAt(text, 0).pointSize(), c.font.pointSize());
    EXPECT_EQ(fontAt(text, 0).isItalic(), c.font.isItalic());
    EXPECT_EQ(gfx::colorOfAttributes(text.attributesAtIndex(0)), QColor(Qt::darkCyan));
    EXPECT_EQ(textPixels(copy), textPixels(layer));
  }
}

TEST(TextLayerTest, TextAndAFilteredLayerReopenWithTheSameFlattenedPixels) {
  Filter::loadFilters();
  const QString path = tst::tempPath("text-and-filters.zova");
  QFile::remove(path);
  QImage before;
  {
    ModelDocument document(path);
    auto* composedImage = document.context->insertNewObject<ComposedImage>("ComposedImage");
    composedImage->setSize(QSizeF(240, 160));
    TextLayer* text =
        TextLayer::createLayerWithComposedImage(composedImage, document.context.get(), false);
    text->setAttributedString(gfx::AttributedString("Tessaly", style("DejaVu Sans", 28, Qt::red)));
    text->setOrigin(QPointF(20, 90));
    Layer* filtered =
        Layer::createLayerWithComposedImage(composedImage, document.context.get(), true);
    filtered->image()->setNsImage(ima_imageWithPixelSize(QSizeF(160, 100), [](const QRectF& rect) {
      auto* context = gfx::GraphicsContext::current();
      context->fillRect(rect, Qt::yellow, gfx::CompositingOperation::Copy);
      context->fillRect(QRectF(0, 0, 80, 50), Qt::blue, gfx::CompositingOperation::Copy);
      return true;
    }));
    filtered->setOrigin(QPointF(30, 20));
    const struct {
      const char* name;
      bool enabled;
    } chain[] = {{"CIGaussianBlur", true}, {"CIColorControls", false}, {"ShadowImageUnit", true}};
    for (const auto& link : chain) {
      Filter* filter = Filter::createFilterWithName(link.name, document.context.get());
      ASSERT_NE(filter, nullptr) << link.name;
      filter->setEnabled(link.enabled);
      filtered->addFiltersArray({filter}, unsigned(filtered->filtersArray().size()));
    }
    ASSERT_FALSE(filtered->filteredCIImage().isNull());
    before = mht::pixelsOf(composedImage->finalImageKeepAlpha(true));
    fnd::Error error;
    ASSERT_TRUE(document.context->save(&error)) << error.localizedDescription().toStdString();
  }
  tst::saveArtifact(path, "model-text-and-filters-store.zova");

  ModelDocument reopened(path);
  ComposedImage* composedImage =
      ComposedImage::composedImageForManagedObjectContext(reopened.context.get());
  ASSERT_NE(composedImage, nullptr);
  const QList<Layer*> layers = composedImage->layersArray();
  ASSERT_EQ(layers.size(), 2);
  ASSERT_NE(dynamic_cast<TextLayer*>(layers[0]), nullptr);
  ASSERT_EQ(layers[1]->filtersArray().size(), 3);
  EXPECT_FALSE(layers[1]->filtersArray()[1]->enabled());
  const QImage after = mht::pixelsOf(composedImage->finalImageKeepAlpha(true));
  ASSERT_EQ(after.size(), before.size());
  EXPECT_LE(mht::largestDifference(before, after), 1);
  const QString png = tst::tempPath("text-and-filters-flattened.png");
  ASSERT_TRUE(after.save(png, "PNG"));
  tst::saveArtifact(png, "model-text-and-filters-flattened.png");
}

TEST(TextLayerTest, TextBlendsNormallyOrCutsOutWithDestinationIn) {
  struct Case {
    int operation;
    bool cutsOut;
  } cases[] = {{2, false}, {14, false}, {7, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.operation);
    TextDocument doc;
    Layer* background =
        Layer::createLayerWithComposedImage(doc.composedImage, doc.document.context.get(), false);
    background->image()->setNsImage(solidImage(200, 120, Qt::green));
    TextLayer* text = doc.newLayer(false);
    text->setAttributedString(gfx::AttributedString("H", style("DejaVu Sans", 60, Qt::red)));
    text->setOrigin(QPointF(20, 20));
    text->setCompositingOperation(c.operation);
    doc.composedImage->setLayersArray({text, background});

    const QImage ink = textPixels(text);
    const QImage flat = mht::pixelsOf(doc.composedImage->finalImageKeepAlpha(true));
    ASSERT_FALSE(ink.isNull());
    int inked = 0;
    for (int y = 0; y < ink.height(); ++y)
      for (int x = 0; x < ink.width(); ++x) {
        if (mht::pixelAt(ink, x, y).alpha() < 250) continue;
        ++inked;
        const QColor drawn = mht::pixelAt(flat, 20 + x, 20 + y);
        if (c.cutsOut)
          EXPECT_LE(drawn.alpha(), 5) << x << "," << y;
        else
          EXPECT_TRUE(mht::near(drawn, Qt::red, 3)) << x << "," << y;
      }
    EXPECT_GT(inked, 100);
    // Away from the letters the layer below is untouched.
    EXPECT_TRUE(mht::near(mht::pixelAt(flat, 190, 110), Qt::green, 1));
  }
}
