#include "appkit/core/PasteboardItem.h"

#include "foundation/PropertyList.h"

namespace ui {

QStringList PasteboardItem::types() const {
  QStringList types;
  for (const auto& entry : entries_) types << entry.first;
  return types;
}

bool PasteboardItem::hasType(const QString& type) const {
  for (const auto& entry : entries_)
    if (entry.first == type) return true;
  return false;
}

QString PasteboardItem::availableTypeFromArray(const QStringList& types) const {
  for (const QString& type : types)
    if (hasType(type)) return type;
  return {};
}

bool PasteboardItem::setDataForType(const QByteArray& data, const QString& type) {
  if (type.isEmpty()) return false;
  for (auto& entry : entries_)
    if (entry.first == type) {
      entry.second = data;
      return true;
    }
  entries_.append({type, data});
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
  for (const auto& entry : entries_)
    if (entry.first == type) return entry.second;
  return {};
}

QString PasteboardItem::stringForType(const QString& type) const {
  return hasType(type) ? QString::fromUtf8(dataForType(type)) : QString();
}

QVariant PasteboardItem::propertyListForType(const QString& type) const {
  const QByteArray bytes = dataForType(type);
  return bytes.isEmpty() ? QVariant() : fnd::PropertyList::propertyListWithData(bytes);
}

}  // namespace ui
