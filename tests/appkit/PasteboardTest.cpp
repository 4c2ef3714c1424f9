#include <gtest/gtest.h>

#include <QBuffer>
#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>

#include "TestSupport.h"
#include "appkit/core/Pasteboard.h"
#include "appkit/core/PasteboardMimeCodec.h"
#include "foundation/PropertyList.h"

namespace {

const QString OriginType = QStringLiteral("com.brenwick.layer.ImageOriginType");
const QString MoveType = QStringLiteral("com.brenwick.object.move");

// Three by two pixels, each different, one of them half transparent.
QImage picture() {
  QImage image(3, 2, QImage::Format_ARGB32);
  const QRgb pixels[] = {qRgba(255, 0, 0, 255),    qRgba(0, 255, 0, 255),
                         qRgba(0, 0, 255, 255),    qRgba(10, 20, 30, 255),
                         qRgba(200, 100, 50, 128), qRgba(255, 255, 255, 255)};
  for (int i = 0; i < 6; ++i) image.setPixel(i % 3, i / 3, pixels[i]);
  return image;
}

gfx::ImagePtr pictureImage() { return gfx::Image::imageWithCGImage(gfx::CGImage::make(picture())); }

void expectPicture(const QImage& image) {
  ASSERT_EQ(image.size(), QSize(3, 2));
  const QImage expected = picture();
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) EXPECT_EQ(image.pixel(x, y), expected.pixel(x, y)) << x << "," << y;
}

QImage pixelsOf(const gfx::ImagePtr& image) {
  gfx::CGImagePtr pixels = image ? image->CGImageForProposedRect(nullptr, nullptr) : nullptr;
  return pixels ? pixels->qImage().convertToFormat(QImage::Format_ARGB32) : QImage();
}

template <typename T>
QList<T> only(const QList<ui::PasteboardObject>& objects) {
  QList<T> found;
  for (const auto& object : objects)
    if (auto* value = std::get_if<T>(&object)) found << *value;
  return found;
}

// A copied selection as the layers panel writes it (an origin item, then the
// image), a text and two files go through the real clipboard: this program
// reads all items back; other programs find the image as PNG, the files as
// a URI list and the text as plain text.
TEST(Pasteboard, SeveralItemsRoundTripThroughTheClipboard) {
  ui::Pasteboard& general = ui::Pasteboard::generalPasteboard();
  const long before = general.clearContents();
  ui::PasteboardItem origin;
  origin.setStringForType("{{10, 20}, {3, 2}}", OriginType);
  const QUrl png = QUrl::fromLocalFile("/tmp/photo.png");
  const QUrl jpeg = QUrl::fromLocalFile("/tmp/scan.JPG");
  ASSERT_TRUE(general.writeObjects(
      {origin, pictureImage(), QString("layer name"), png, jpeg, QUrl("https://example.org/")}));
  EXPECT_GT(general.changeCount(), before);

  const QMimeData* shared = QGuiApplication::clipboard()->mimeData();
  ASSERT_NE(shared, nullptr);
  QImage offered;
  ASSERT_TRUE(offered.loadFromData(shared->data("image/png"), "PNG"));
  expectPicture(offered.convertToFormat(QImage::Format_ARGB32));
  const QString pngPath = tst::tempPath("offered.png");
  QFile file(pngPath);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(shared->data("image/png"));
  file.close();
  if (tst::haveTool("pngcheck")) {
    QString report;
    EXPECT_EQ(tst::runTool("pngcheck", {pngPath}, &report), 0) << report.toStdString();
  }
  EXPECT_EQ(shared->data(OriginType), "{{10, 20}, {3, 2}}");
  EXPECT_EQ(shared->text(), "layer name");
  EXPECT_EQ(shared->urls(), (QList<QUrl>{png, jpeg, QUrl("https://example.org/")}));

  EXPECT_EQ(general.pasteboardItems().size(), 6);
  const QStringList types = general.types();
  for (const QString& type :
       {OriginType, ui::PasteboardTypeTIFF, ui::PasteboardTypePNG, ui::PasteboardTypeString,
        ui::PasteboardTypeFileURL, ui::FilenamesPboardType})
    EXPECT_TRUE(types.contains(type)) << type.toStdString();
  EXPECT_EQ(general.stringForType(OriginType), "{{10, 20}, {3, 2}}");
  EXPECT_EQ(general.propertyListForType(ui::FilenamesPboardType),
            QVariant(QVariantList{"/tmp/photo.png", "/tmp/scan.JPG"}));

  const auto images =
      only<gfx::ImagePtr>(general.readObjectsForClasses({ui::PasteboardClass::Image}));
  ASSERT_EQ(images.size(), 1);
  expectPicture(pixelsOf(images[0]));
  EXPECT_EQ(only<QString>(general.readObjectsForClasses({ui::PasteboardClass::String})),
            QStringList{"layer name"});
  // Another Tessaly receives every item through the private format alone.
  QMimeData received;
  received.setData(ui::PasteboardItemsMimeType, shared->data(ui::PasteboardItemsMimeType));
  auto elsewhere = ui::Pasteboard::pasteboardWithMimeData(&received);
  EXPECT_EQ(elsewhere->types(), types);
  EXPECT_EQ(elsewhere->stringForType(OriginType), "{{10, 20}, {3, 2}}");
  const auto decoded =
      only<gfx::ImagePtr>(elsewhere->readObjectsForClasses({ui::PasteboardClass::Image}));
  ASSERT_EQ(decoded.size(), 1);
  expectPicture(pixelsOf(decoded[0]));
  EXPECT_EQ(only<QUrl>(elsewhere->readObjectsForClasses({ui::PasteboardClass::URL})).size(), 3);

  // The first class that reads an item wins.
  EXPECT_EQ(
      general.readObjectsForClasses({ui::PasteboardClass::Image, ui::PasteboardClass::Item}).size(),
      6);
}

TEST(Pasteboard, URLReadingHonoursFileOnlyAndConformingTypes) {
  ui::Pasteboard pasteboard;
  const QUrl png = QUrl::fromLocalFile("/tmp/photo.png");
  const QUrl jpeg = QUrl::fromLocalFile("/tmp/scan.JPG");
  const QUrl text = QUrl::fromLocalFile("/tmp/notes.txt");
  const QUrl web("https://example.org/a.png");
  ASSERT_TRUE(pasteboard.writeObjects({png, web, jpeg, text}));
  struct Case {
    const char* name;
    QVariantMap options;
    QList<QUrl> expected;
  };
  const QString filesOnly = ui::PasteboardURLReadingFileURLsOnlyKey;
  const QString conform = ui::PasteboardURLReadingContentsConformToTypesKey;
  const Case cases[] = {
      {"no options", {}, {png, web, jpeg, text}},
      {"files only", {{filesOnly, true}}, {png, jpeg, text}},
      {"images",
       {{filesOnly, true}, {conform, QStringList{"public.png", "public.jpeg"}}},
       {png, jpeg}},
      {"umbrella type", {{filesOnly, true}, {conform, QStringList{"public.image"}}}, {png, jpeg}},
      {"png only", {{conform, QStringList{"public.png"}}}, {png}},
  };
  for (const Case& c : cases)
    EXPECT_EQ(only<QUrl>(pasteboard.readObjectsForClasses({ui::PasteboardClass::URL}, c.options)),
              c.expected)
        << c.name;
}

// A row drag: the rows' values first, the item naming the rows last; the drop
// side sees the same items through the QMimeData the drag carried.
TEST(Pasteboard, DragsCarryTheItemsAndDropsReadThemBack) {
  ui::Pasteboard& drag = ui::Pasteboard::dragPasteboard();
  drag.clearContents();
  ui::PasteboardItem rows;
  ASSERT_TRUE(rows.setPropertyListForType(QVariantList{qint64(0), qint64(2)}, MoveType));
  ASSERT_TRUE(drag.writeObjects({QString("Gaussian Blur"), QString("Bloom"), rows}));
  std::unique_ptr<QMimeData> carried(drag.dragMimeData());

  std::unique_ptr<ui::Pasteboard> dropped = ui::Pasteboard::pasteboardWithMimeData(carried.get());
  EXPECT_TRUE(dropped->types().contains(MoveType));
  const QList<ui::PasteboardItem> items = dropped->pasteboardItems();
  ASSERT_EQ(items.size(), 3);
  EXPECT_EQ(items.last().propertyListForType(MoveType), QVariant(QVariantList{0, 2}));
  EXPECT_EQ(dropped->propertyListForType(MoveType), QVariant(QVariantList{0, 2}));
  EXPECT_EQ(carried->text(), "Gaussian Blur");
  // A drop is read-only.
  EXPECT_FALSE(dropped->writeObjects({QString("more")}));
  EXPECT_EQ(dropped->pasteboardItems().size(), 3);

  // Another program's drop: one item per file, the image and text with the first.
  QMimeData foreign;
  foreign.setUrls({QUrl::fromLocalFile("/tmp/a.png"), QUrl::fromLocalFile("/tmp/b.png")});
  foreign.setText("two files");
  QImage image = picture();
  foreign.setData("image/png", [&] {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
  }());
  auto view = ui::Pasteboard::pasteboardWithMimeData(&foreign);
  EXPECT_EQ(view->pasteboardItems().size(), 2);
  EXPECT_EQ(only<QUrl>(view->readObjectsForClasses({ui::PasteboardClass::URL})).size(), 2);
  const auto images =
      only<gfx::ImagePtr>(view->readObjectsForClasses({ui::PasteboardClass::Image}));
  ASSERT_EQ(images.size(), 1);
  expectPicture(pixelsOf(images[0]));
  EXPECT_EQ(view->stringForType(ui::PasteboardTypeString), "two files");
}

// Another program's clipboard, counting what it is asked for.
class CountingMimeData : public QMimeData {
 public:
  mutable QStringList asked;

 protected:
  QVariant retrieveData(const QString& mimeType, QMetaType type) const override {
    asked << mimeType;
    return QMimeData::retrieveData(mimeType, type);
  }
};

TEST(Pasteboard, AnotherProgramsFormatsAreFetchedOnlyWhenRead) {
  CountingMimeData foreign;
  foreign.setData("image/png", QByteArray(1 << 20, 'x'));
  foreign.setData("image/bmp", QByteArray(1 << 20, 'y'));
  foreign.setData("text/plain", "caption");
  foreign.setData("text/plain;charset=utf-8", "caption");
  auto view = ui::Pasteboard::pasteboardWithMimeData(&foreign);
  EXPECT_EQ(view->types(),
            (QStringList{ui::PasteboardTypePNG, "com.microsoft.bmp", ui::PasteboardTypeString}));
  EXPECT_TRUE(foreign.asked.isEmpty()) << foreign.asked.join(", ").toStdString();
  EXPECT_EQ(only<QString>(view->readObjectsForClasses({ui::PasteboardClass::String})),
            QStringList{"caption"});
  EXPECT_EQ(foreign.asked, QStringList{"text/plain"});
}

TEST(Pasteboard, MalformedItemListsAreRefused) {
  const QByteArray arrayOfDict = fnd::PropertyList::dataWithPropertyList(
      QVariantList{QVariantMap{{"a", QByteArray("b")}}}, fnd::PropertyListFormat::Binary);
  const QByteArray oddEntries = fnd::PropertyList::dataWithPropertyList(
      QVariantList{QVariantList{"public.png"}}, fnd::PropertyListFormat::Binary);
  const QByteArray numberAsType = fnd::PropertyList::dataWithPropertyList(
      QVariantList{QVariantList{7, QByteArray("x")}}, fnd::PropertyListFormat::Binary);
  const QByteArray stringAsData = fnd::PropertyList::dataWithPropertyList(
      QVariantList{QVariantList{"public.png", "x"}}, fnd::PropertyListFormat::Binary);
  for (const QByteArray& bytes :
       {QByteArray("not a list"), QByteArray(), arrayOfDict, oddEntries, numberAsType, stringAsData,
        ui::PasteboardMimeCodec::encodeItems({ui::PasteboardItem()}).left(20)}) {
    QList<ui::PasteboardItem> items;
    EXPECT_FALSE(ui::PasteboardMimeCodec::decodeItems(bytes, &items))
        << bytes.toHex().toStdString();
    EXPECT_TRUE(items.isEmpty());
  }
}

}  // namespace
