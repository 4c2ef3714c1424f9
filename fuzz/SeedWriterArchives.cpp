// Seeds of the property-list and archive targets: property lists of every
// value kind in both formats, archives of every class the program
// registers, styled texts as text layers store them, and image data blobs
// of bitmap and PDF images.
#include <QBuffer>
#include <QDateTime>
#include <QPainter>
#include <QPdfWriter>

#include "SeedWriter.h"
#include "foundation/KeyedArchiver.h"
#include "foundation/PropertyList.h"
#include "graphics/ArchivedColor.h"
#include "model/FontCoding.h"
#include "model/IMImagesUtilities.h"
#include "model/Settings.h"
#include "model/TextAttributesCoding.h"
#include "model/TextLayerAttributedStringCoding.h"

namespace {

QVariantMap everyValueKind() {
  return {{"bool", true},
          {"integer", qint64(-1234567890123)},
          {"unsigned", quint64(42)},
          {"real", 3.25},
          {"string", QStringLiteral("layer \u00e9t\u00e9")},
          {"data", QByteArray("\x00\x01\x02\xff", 4)},
          {"date", QDateTime(QDate(2020, 2, 29), QTime(12, 30), Qt::UTC)},
          {"array", QVariantList{1, "two", QVariantList{3.0}}},
          {"uid", QVariant::fromValue(fnd::PlistUID{7})},
          {"nested", QVariantMap{{"inner", QVariantMap{{"deeper", QVariantList{}}}}}}};
}

QVariantMap textStyle(const QString& family, double size, const QColor& color) {
  gfx::ParagraphStyle paragraph;
  paragraph.alignment = gfx::TextAlignment::Center;
  paragraph.lineSpacing = 2;
  return {{gfx::FontAttributeName, gfx::fontValue(gfx::Font(family, size))},
          {gfx::ForegroundColorAttributeName, color},
          {gfx::ParagraphStyleAttributeName, gfx::paragraphStyleValue(paragraph)},
          {gfx::KernAttributeName, 1.5}};
}

gfx::AttributedString styledText() {
  gfx::AttributedString text(QStringLiteral("Hello\nTessaly \u2192 text"),
                             textStyle("DejaVu Sans", 18, Qt::red));
  text.addAttributes(textStyle("DejaVu Serif", 9, QColor(0, 128, 255, 128)), 6, 7);
  text.addAttribute(gfx::UnderlineStyleAttributeName, 1, 0, 5);
  return text;
}

QByteArray onePagePDF() {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  QPdfWriter writer(&buffer);
  writer.setResolution(72);
  writer.setPageMargins(QMarginsF(0, 0, 0, 0));
  writer.setPageSize(QPageSize(QSizeF(20, 10), QPageSize::Point));
  QPainter painter(&writer);
  painter.fillRect(QRect(0, 0, 10, 10), Qt::green);
  painter.end();
  return bytes;
}

}  // namespace

void SeedWriter::writePropertyLists() {
  const QVariant values = everyValueKind();
  for (auto [format, name] : {std::pair{fnd::PropertyListFormat::Binary, "binary.plist"},
                              std::pair{fnd::PropertyListFormat::XML, "xml.plist"}})
    write("plist", name, fnd::PropertyList::dataWithPropertyList(values, format));
  write("plist", "array.plist",
        fnd::PropertyList::dataWithPropertyList(QVariantList{"a", 1, 2.5, false},
                                                fnd::PropertyListFormat::XML));
}

void SeedWriter::writeKeyedArchives() {
  QVariantMap values = everyValueKind();
  values.remove("uid");
  write("keyed_archive", "values", fnd::KeyedArchiver::archivedDataWithRootObject(values));
  write("keyed_archive", "color", gfx::archivedDataWithColor(QColor(10, 20, 30, 40)));
  write("keyed_archive", "font", archivedDataWithFont(gfx::Font("DejaVu Sans Mono", 11)));
  write("keyed_archive", "text-attributes",
        archivedDataWithTextAttributes(textStyle("DejaVu Sans", 12, Qt::blue)));
  auto settings = std::make_shared<Settings>();
  settings->setColor1(Qt::magenta);
  settings->setTextAttributes(textStyle("DejaVu Serif", 20, Qt::black));
  write("keyed_archive", "settings",
        fnd::KeyedArchiver::archivedDataWithRootObject(
            QVariant::fromValue(fnd::CodingPtr(settings))));
  write("keyed_archive", "text", archivedDataWithAttributedString(styledText()));
}

void SeedWriter::writeTextArchives() {
  write("text_archive", "styled", archivedDataWithAttributedString(styledText()));
  write("text_archive", "plain",
        archivedDataWithAttributedString(gfx::AttributedString("A", gfx::Font())));
}

void SeedWriter::writeImageData() {
  const gfx::ImagePtr bitmap =
      gfx::Image::imageWithCGImage(gfx::CGImage::make(seedPicture(12, 8, QImage::Format_ARGB32)));
  write("image_data", "bitmap", ima_produceImageData(bitmap));
  fnd::Error error;
  const gfx::ImagePtr pdf = gfx::Image::imageWithData(onePagePDF(), &error);
  if (!pdf) return fail("PDF image: " + error.localizedDescription());
  write("image_data", "pdf", ima_produceImageData(pdf));
}
