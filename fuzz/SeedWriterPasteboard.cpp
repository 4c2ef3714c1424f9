// Seeds of the pasteboard item format: the items a copied selection, a row
// drag and a file drop put on the pasteboard, written by the pasteboard.
#include <QBuffer>
#include <QImage>

#include "SeedWriter.h"
#include "appkit/core/Pasteboard.h"
#include "appkit/core/PasteboardMimeCodec.h"

void SeedWriter::writePasteboardItems() {
  QImage image(4, 3, QImage::Format_ARGB32);
  image.fill(qRgba(40, 80, 120, 200));
  QByteArray png;
  QBuffer buffer(&png);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "PNG");

  ui::PasteboardItem origin, picture, rows, file;
  origin.setStringForType("{{10, 20}, {4, 3}}", "com.brenwick.layer.ImageOriginType");
  picture.setDataForType(png, ui::PasteboardTypePNG);
  rows.setPropertyListForType(QVariantList{0, 2}, "com.brenwick.object.move");
  rows.setStringForType("Bloom", ui::PasteboardTypeString);
  file.setDataForType(QUrl::fromLocalFile("/tmp/photo.png").toEncoded(), ui::PasteboardTypeFileURL);
  write("pasteboard_items", "copy.items", ui::PasteboardMimeCodec::encodeItems({origin, picture}));
  write("pasteboard_items", "drag.items", ui::PasteboardMimeCodec::encodeItems({rows, file}));
  write("pasteboard_items", "empty.items", ui::PasteboardMimeCodec::encodeItems({}));
}
