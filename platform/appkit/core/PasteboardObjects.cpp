// Pasteboard: objects written as items and read back from them.
#include <QFileInfo>
#include <algorithm>

#include "appkit/core/Pasteboard.h"
#include "appkit/core/PasteboardMimeCodec.h"
#include "imageio/TypeIdentifiers.h"

namespace ui {

namespace {

// An image as TIFF (every representation, as the desktop's image objects
// write themselves) and as PNG of its best bitmap, both made only when read;
// readers in this process take the image itself. A copy, so later drawing
// into the caller's image does not reach the pasteboard.
bool imageItem(const gfx::ImagePtr& image, PasteboardItem* item) {
  if (!image || image->representations().isEmpty()) return false;
  gfx::ImagePtr copy = image->copy();
  item->setSourceImage(copy);
  item->setDataProviderForType([copy] { return copy->TIFFRepresentation(); }, PasteboardTypeTIFF);
  item->setDataProviderForType([copy] { return PasteboardMimeCodec::pngOfImage(copy); },
                               PasteboardTypePNG);
  return true;
}

// The bytes of the largest bitmap among the image's representations; an
// image drawn at any resolution has none of its own.
qint64 pixelBytes(const gfx::ImagePtr& image) {
  qint64 largest = 0;
  if (!image) return 0;
  for (const gfx::ImageRepPtr& rep : image->representations())
    if (rep && rep->isBitmapLike())
      largest = std::max(largest, qint64(rep->pixelsWide()) * rep->pixelsHigh() * 4);
  return largest;
}

bool itemOfObject(const PasteboardObject& object, PasteboardItem* item) {
  if (auto* given = std::get_if<PasteboardItem>(&object)) {
    *item = *given;
    return !item->isEmpty();
  }
  if (auto* image = std::get_if<gfx::ImagePtr>(&object)) return imageItem(*image, item);
  if (auto* url = std::get_if<QUrl>(&object)) {
    if (!url->isValid()) return false;
    item->setDataForType(url->toEncoded(),
                         url->isLocalFile() ? PasteboardTypeFileURL : PasteboardTypeURL);
    return true;
  }
  return item->setStringForType(std::get<QString>(object), PasteboardTypeString);
}

bool conformsToTypes(const QUrl& url, const QStringList& types) {
  const QString type =
      io::TypeIdentifiers::typeForFilenameExtension(QFileInfo(url.toLocalFile()).suffix());
  if (type.isEmpty()) return false;
  if (types.contains(type)) return true;
  // The umbrella type of every image the program reads.
  return types.contains(QStringLiteral("public.image")) &&
         io::TypeIdentifiers::readableTypes().contains(type);
}

std::optional<PasteboardObject> readURL(const PasteboardItem& item, const QVariantMap& options) {
  const bool filesOnly = options.value(PasteboardURLReadingFileURLsOnlyKey).toBool();
  const QString type = item.availableTypeFromArray(
      filesOnly ? QStringList{PasteboardTypeFileURL}
                : QStringList{PasteboardTypeFileURL, PasteboardTypeURL});
  if (type.isEmpty()) return std::nullopt;
  const QUrl url = QUrl::fromEncoded(item.dataForType(type));
  if (!url.isValid() || (filesOnly && !url.isLocalFile())) return std::nullopt;
  if (options.contains(PasteboardURLReadingContentsConformToTypesKey) &&
      !conformsToTypes(url,
                       options.value(PasteboardURLReadingContentsConformToTypesKey).toStringList()))
    return std::nullopt;
  return url;
}

std::optional<PasteboardObject> readImage(const PasteboardItem& item) {
  if (gfx::ImagePtr image = item.sourceImage()) return image->copy();
  for (const QString& type : PasteboardTypes::imageTypes()) {
    if (!item.hasType(type)) continue;
    if (gfx::ImagePtr image = gfx::Image::imageWithData(item.dataForType(type))) return image;
  }
  return std::nullopt;
}

std::optional<PasteboardObject> readObject(const PasteboardItem& item, PasteboardClass kind,
                                           const QVariantMap& options) {
  switch (kind) {
    case PasteboardClass::Item:
      return item;
    case PasteboardClass::Image:
      return readImage(item);
    case PasteboardClass::URL:
      return readURL(item, options);
    case PasteboardClass::String:
      if (!item.hasType(PasteboardTypeString)) return std::nullopt;
      return item.stringForType(PasteboardTypeString);
  }
  return std::nullopt;
}

}  // namespace

bool Pasteboard::writeObjects(const QList<PasteboardObject>& objects) {
  QList<PasteboardItem> items = pasteboardItems();
  for (const PasteboardObject& object : objects) {
    if (auto* image = std::get_if<gfx::ImagePtr>(&object);
        image && pixelBytes(*image) > maximumImageBytes_)
      return false;
    PasteboardItem item;
    if (!itemOfObject(object, &item)) return false;
    items.append(std::move(item));
  }
  return setItems(std::move(items));
}

QList<PasteboardObject> Pasteboard::readObjectsForClasses(const QList<PasteboardClass>& classes,
                                                          const QVariantMap& options) const {
  QList<PasteboardObject> objects;
  for (const PasteboardItem& item : pasteboardItems())
    for (PasteboardClass kind : classes)
      if (std::optional<PasteboardObject> object = readObject(item, kind, options)) {
        objects.append(std::move(*object));
        break;
      }
  return objects;
}

}  // namespace ui
