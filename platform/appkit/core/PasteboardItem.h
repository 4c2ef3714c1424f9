// One item of a pasteboard: the same thing under several types, each held as
// bytes, in the order the writer added them (best first). Strings are kept
// as UTF-8, property lists as XML property-list text. Bytes may be promised:
// a provider makes them when first read (copies of the item share them), so
// a large image is encoded only in the formats someone asks for.
#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <memory>

#include "graphics/Image.h"

namespace ui {

class PasteboardItem {
 public:
  QStringList types() const;
  bool hasType(const QString& type) const;
  // The first of `types` this item holds; empty when none.
  QString availableTypeFromArray(const QStringList& types) const;

  // Each adds the type or replaces its bytes in place.
  bool setDataForType(const QByteArray& data, const QString& type);
  bool setStringForType(const QString& string, const QString& type);
  // False when the value is no property list.
  bool setPropertyListForType(const QVariant& propertyList, const QString& type);
  // `provider` runs at most once, on the main thread, when the type is read.
  bool setDataProviderForType(std::function<QByteArray()> provider, const QString& type);

  // The image an item written in this process holds, which readers here take
  // without decoding its bytes; null otherwise.
  gfx::ImagePtr sourceImage() const { return image_; }
  void setSourceImage(gfx::ImagePtr image) { image_ = std::move(image); }

  // Empty or null when the type is absent (or holds no property list).
  QByteArray dataForType(const QString& type) const;
  QString stringForType(const QString& type) const;
  QVariant propertyListForType(const QString& type) const;

  bool isEmpty() const { return entries_.isEmpty(); }
  // Same types with the same bytes.
  bool operator==(const PasteboardItem& other) const;

 private:
  struct Bytes {
    QByteArray data;
    std::function<QByteArray()> provider;
  };
  struct Entry {
    QString type;
    std::shared_ptr<Bytes> bytes;
  };
  const Entry* find(const QString& type) const;

  QList<Entry> entries_;
  gfx::ImagePtr image_;
};

}  // namespace ui
