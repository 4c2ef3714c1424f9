#include "appkit/core/PasteboardItem.h"

#include "foundation/PropertyList.h"

namespace ui {

const PasteboardItem::Entry* PasteboardItem::find(const QString& type) const {
  for (const Entry& entry : entries_)
    if (entry.type == type) return &entry;
  return nullptr;
}

QStringList PasteboardItem::types() const {
  QStringList types;
  for (const Entry& entry : entries_) types << entry.type;
  return types;
}

bool PasteboardItem::hasType(const QString& type) const { return find(type) != nullptr; }

QString PasteboardItem::availableTypeFromArray(const QStringList& types) const {
  for (const QString& type : types)
    if (hasType(type)) return type;
  return {};
}

bool PasteboardItem::setDataForType(const QByteArray& data, const QString& type) {
  return setDataProviderForType([data] { return data; }, type);
}

bool PasteboardItem::setDataProviderForType(std::function<QByteArray()> provider,
                                            const QString& type) {
  if (type.isEmpty() || !provider) return false;
  // A new block: copies of the item made before keep the old bytes.
  auto bytes = std::make_shared<Bytes>(Bytes{{}, std::move(provider)});
  for (Entry& entry : entries_)
    if (entry.type == type) {
      entry.bytes = std::move(bytes);
      return true;
    }
  entries_.append({type, std::move(bytes)});
  return true;
}

bool PasteboardItem::setStringForType(const QString& string, const QString& type) {
  return setDataForType(string.toUtf8(), type);
}

bool PasteboardItem::setPropertyListForType(const QVariant& propertyList, const QString& type) {
  const QByteArray bytes =
      fnd::PropertyList::dataWithPropertyList(propertyList, fnd::PropertyListFormat::XML);
  return !bytes.isEmpty() && setDataForType(bytes, type);
}

QByteArray PasteboardItem::dataForType(const QString& type) const {
  const Entry* entry = find(type);
  if (!entry) return {};
  Bytes& bytes = *entry->bytes;
  if (bytes.provider) {
    bytes.data = bytes.provider();
    bytes.provider = nullptr;
  }
  return bytes.data;
}

bool PasteboardItem::operator==(const PasteboardItem& other) const {
  if (types() != other.types()) return false;
  for (const Entry& entry : entries_)
    if (dataForType(entry.type) != other.dataForType(entry.type)) return false;
  return true;
}

QString PasteboardItem::stringForType(const QString& type) const {
  return hasType(type) ? QString::fromUtf8(dataForType(type)) : QString();
}

QVariant PasteboardItem::propertyListForType(const QString& type) const {
  const QByteArray bytes = dataForType(type);
  return bytes.isEmpty() ? QVariant() : fnd::PropertyList::propertyListWithData(bytes);
}

}  // namespace ui
