#include "appkit/core/PasteboardMimeCodec.h"

#include <QBuffer>
#include <QImage>
#include <QMimeData>
#include <QPointer>
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
// other formats), or one item of every format. Each format's bytes are
// fetched only when read, as asking the other program for every format
// (often several encodings of one large image) would make listing the types
// as slow as a paste; they read as empty once the data is gone.
QList<PasteboardItem> foreignItems(const QMimeData* data) {
  PasteboardItem shared;
  QPointer<QMimeData> source = const_cast<QMimeData*>(data);
  for (const QString& format : data->formats()) {
    const QString type = PasteboardTypes::typeForMimeType(format);
    if (format == QStringLiteral("text/uri-list") || format.startsWith("application/x-qt-") ||
        shared.hasType(type))
      continue;
    shared.setDataProviderForType(
        [source, format] { return source ? source->data(format) : QByteArray(); }, type);
  }
  QList<PasteboardItem> items;
  for (const QUrl& url : data->hasUrls() ? data->urls() : QList<QUrl>()) {
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

QByteArray PasteboardMimeCodec::pngOfImage(const gfx::ImagePtr& image) {
  gfx::CGImagePtr pixels = image ? image->CGImageForProposedRect(nullptr, nullptr) : nullptr;
  if (!pixels) return {};
  QByteArray png;
  QBuffer buffer(&png);
  buffer.open(QIODevice::WriteOnly);
  // The lightest compression: another program is waiting for these bytes.
  return pixels->qImage().save(&buffer, "PNG", 90) ? png : QByteArray();
}

QByteArray PasteboardMimeCodec::pngOfItem(const PasteboardItem& item) {
  if (item.hasType(PasteboardTypePNG)) return item.dataForType(PasteboardTypePNG);
  const QString type = item.availableTypeFromArray(PasteboardTypes::imageTypes());
  if (type.isEmpty()) return {};
  return pngOfImage(gfx::Image::imageWithData(item.dataForType(type)));
}

namespace {

// The items themselves, with every format made only when asked for: in this
// process readers take the items as they are; another program asking for
// PNG waits for that encoding alone.
class ItemsMimeData : public QMimeData {
 public:
  explicit ItemsMimeData(QList<PasteboardItem> items) : items_(std::move(items)) {
    formats_ << PasteboardItemsMimeType;
    if (!items_.isEmpty())
      for (const QString& type : items_.first().types())
        if (!isUrlType(type)) formats_ << PasteboardTypes::mimeTypeForType(type);
    addFormat(PasteboardTypePNG, [](const PasteboardItem& item) {
      return item.hasType(PasteboardTypePNG) ||
             !item.availableTypeFromArray(PasteboardTypes::imageTypes()).isEmpty();
    });
    addFormat(PasteboardTypeString,
              [](const PasteboardItem& item) { return item.hasType(PasteboardTypeString); });
    if (!urlsOfItems(items_).isEmpty()) formats_ << QStringLiteral("text/uri-list");
  }

  const QList<PasteboardItem>& items() const { return items_; }
  QStringList formats() const override { return formats_; }
  bool hasFormat(const QString& mimeType) const override { return formats_.contains(mimeType); }

 protected:
  QVariant retrieveData(const QString& mimeType, QMetaType) const override {
    if (!formats_.contains(mimeType)) return {};
    if (mimeType == PasteboardItemsMimeType) return PasteboardMimeCodec::encodeItems(items_);
    if (mimeType == QStringLiteral("text/uri-list")) {
      QByteArray list;
      for (const QUrl& url : urlsOfItems(items_)) list += url.toEncoded() + "\r\n";
      return list;
    }
    const QString type = PasteboardTypes::typeForMimeType(mimeType);
    if (type == PasteboardTypePNG)
      for (const PasteboardItem& item : items_)
        if (QByteArray png = PasteboardMimeCodec::pngOfItem(item); !png.isEmpty()) return png;
    for (const PasteboardItem& item : items_)
      if (item.hasType(type)) return item.dataForType(type);
    return {};
  }

 private:
  template <typename Holds>
  void addFormat(const QString& type, Holds holds) {
    const QString mimeType = PasteboardTypes::mimeTypeForType(type);
    if (formats_.contains(mimeType)) return;
    for (const PasteboardItem& item : items_)
      if (holds(item)) {
        formats_ << mimeType;
        return;
      }
  }

  QList<PasteboardItem> items_;
  QStringList formats_;
};

}  // namespace

QMimeData* PasteboardMimeCodec::encode(const QList<PasteboardItem>& items) {
  return new ItemsMimeData(items);
}

QList<PasteboardItem> PasteboardMimeCodec::decode(const QMimeData* data) {
  if (!data) return {};
  if (auto* ours = dynamic_cast<const ItemsMimeData*>(data)) return ours->items();
  QList<PasteboardItem> items;
  if (data->hasFormat(PasteboardItemsMimeType) &&
      decodeItems(data->data(PasteboardItemsMimeType), &items))
    return items;
  return foreignItems(data);
}

}  // namespace ui
