// One item of a pasteboard: the same thing under several types, each held as
// bytes, in the order the writer added them (best first). Strings are kept
// as UTF-8, property lists as XML property-list text.
#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QStringList>
#include <QVariant>

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

  // Empty or null when the type is absent (or holds no property list).
  QByteArray dataForType(const QString& type) const;
  QString stringForType(const QString& type) const;
  QVariant propertyListForType(const QString& type) const;

  bool isEmpty() const { return entries_.isEmpty(); }
  bool operator==(const PasteboardItem& other) const { return entries_ == other.entries_; }

 private:
  QList<QPair<QString, QByteArray>> entries_;
};

}  // namespace ui
