#include "appkit/core/PasteboardMimeCodec.h"

#include <QBuffer>
#include <QImage>
#include <QMimeData>
#include <QUrl>

#include "appkit/core/PasteboardTypes.h"
#include "foundation/PropertyList.h"
#include "graphics/Image.h"

namespace ui {

namespace {

bool isUrlType(const QString& type) {
  return type == PasteboardTypeFileURL || type == PasteboardTypeURL;
}

QList<QUrl> urlsOfItems(const QList<PasteboardItem>& items) {
  QList<QUrl> urls;
  for (const PasteboardItem& item : items) {
    const QString type = item.availableTypeFromArray({PasteboardTypeFileURL, PasteboardTypeURL});
    if (!type.isEmpty()) urls << QUrl::fromEncoded(item.dataForType(type));
  }
  return urls;
}

// Another program's data: one item per URL (the first also holding the
// other formats), or one item of every format.
QList<PasteboardItem> foreignItems(const QMimeData* data) {
  PasteboardItem shared;
  for (const QString& format : data->formats()) {
    if (format == QStringLiteral("text/uri-list") || format.startsWith("application/x-qt-"))
      continue;
    shared.setDataForType(data->data(format), PasteboardTypes::typeForMimeType(format));
  }
  QList<PasteboardItem> items;
  for (const QUrl& url : data->urls()) {
    PasteboardItem item = items.isEmpty() ? shared : PasteboardItem();
    item.setDataForType(url.toEncoded(),
                        url.isLocalFile() ? PasteboardTypeFileURL : PasteboardTypeURL);
    items << item;
  }
  if (items.isEmpty() && !shared.isEmpty()) items << shared;
  return items;
}

}  // namespace

QByteArray PasteboardMimeCodec::encodeItems(const QList<PasteboardItem>& items) {
  QVariantList list;
  for (const PasteboardItem& item : items) {
    QVariantList entries;
    for (const QString& type : item.types()) entries << type << item.dataForType(type);
    list.append(QVariant(entries));
  }
  return fnd::PropertyList::dataWithPropertyList(list, fnd::PropertyListFormat::Binary);
}

namespace {

bool itemOfEntries(const QVariant& entry, PasteboardItem* item) {
  const QVariantList entries = entry.toList();
  if (entry.typeId() != QMetaType::QVariantList || entries.size() % 2) return false;
  for (qsizetype i = 0; i < entries.size(); i += 2) {
    if (entries[i].typeId() != QMetaType::QString ||
        entries[i + 1].typeId() != QMetaType::QByteArray)
      return false;
    item->setDataForType(entries[i + 1].toByteArray(), entries[i].toString());
  }
  return true;
}

}  // namespace

bool PasteboardMimeCodec::decodeItems(const QByteArray& bytes, QList<PasteboardItem>* items) {
  items->clear();
  const QVariant plist = fnd::PropertyList::propertyListWithData(bytes);
  if (plist.typeId() != QMetaType::QVariantList) return false;
  QList<PasteboardItem> decoded;
  for (const QVariant& entry : plist.toList()) {
    PasteboardItem item;
    if (!itemOfEntries(entry, &item)) return false;
    decoded.append(std::move(item));
  }
  *items = std::move(decoded);
  return true;
}

QByteArray PasteboardMimeCodec::pngOfItem(const PasteboardItem& item) {
  const QString type = item.availableTypeFromArray(PasteboardTypes::imageTypes());
  if (type.isEmpty()) return {};
  if (type == PasteboardTypePNG) return item.dataForType(type);
  gfx::ImagePtr image = gfx::Image::imageWithData(item.dataForType(type));
  gfx::CGImagePtr pixels = image ? image->CGImageForProposedRect(nullptr, nullptr) : nullptr;
  if (!pixels) return {};
  QByteArray png;
  QBuffer buffer(&png);
  buffer.open(QIODevice::WriteOnly);
  return pixels->qImage().save(&buffer, "PNG") ? png : QByteArray();
}

QMimeData* PasteboardMimeCodec::encode(const QList<PasteboardItem>& items) {
  auto* data = new QMimeData;
  data->setData(PasteboardItemsMimeType, encodeItems(items));
  if (!items.isEmpty())
    for (const QString& type : items.first().types())
      if (!isUrlType(type))
        data->setData(PasteboardTypes::mimeTypeForType(type), items.first().dataForType(type));
  const QString png = PasteboardTypes::mimeTypeForType(PasteboardTypePNG);
  for (const PasteboardItem& item : items) {
    if (data->hasFormat(png)) break;
    const QByteArray bytes = pngOfItem(item);
    if (!bytes.isEmpty()) data->setData(png, bytes);
  }
  const QString text = PasteboardTypes::mimeTypeForType(PasteboardTypeString);
  for (const PasteboardItem& item : items)
    if (!data->hasFormat(text) && item.hasType(PasteboardTypeString))
      data->setData(text, item.dataForType(PasteboardTypeString));
  if (const QList<QUrl> urls = urlsOfItems(items); !urls.isEmpty()) data->setUrls(urls);
  return data;
}

QList<PasteboardItem> PasteboardMimeCodec::decode(const QMimeData* data) {
  if (!data) return {};
  QList<PasteboardItem> items;
  if (data->hasFormat(PasteboardItemsMimeType) &&
      decodeItems(data->data(PasteboardItemsMimeType), &items))
    return items;
  return foreignItems(data);
}

}  // namespace ui
