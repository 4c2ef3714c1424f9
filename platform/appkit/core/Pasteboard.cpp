#include "appkit/core/Pasteboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

#include "appkit/core/PasteboardMimeCodec.h"
#include "foundation/PropertyList.h"

namespace ui {

Pasteboard::Pasteboard() : kind_(Kind::Private) {}

Pasteboard::Pasteboard(Kind kind, const QMimeData* view) : kind_(kind), view_(view) {}

Pasteboard::~Pasteboard() = default;

Pasteboard& Pasteboard::generalPasteboard() {
  static Pasteboard general{Kind::General};
  return general;
}

Pasteboard& Pasteboard::dragPasteboard() {
  static Pasteboard drag;
  return drag;
}

std::unique_ptr<Pasteboard> Pasteboard::pasteboardWithMimeData(const QMimeData* data) {
  return std::unique_ptr<Pasteboard>(new Pasteboard(Kind::View, data));
}

QMimeData* Pasteboard::dragMimeData() const {
  return PasteboardMimeCodec::encode(pasteboardItems());
}

QList<PasteboardItem> Pasteboard::pasteboardItems() const {
  switch (kind_) {
    case Kind::Private:
      return items_;
    case Kind::View:
      return PasteboardMimeCodec::decode(view_);
    case Kind::General:
      break;
  }
  QClipboard* clipboard = QGuiApplication::clipboard();
  return clipboard ? PasteboardMimeCodec::decode(clipboard->mimeData()) : QList<PasteboardItem>();
}

bool Pasteboard::setItems(QList<PasteboardItem> items) {
  if (kind_ == Kind::View) return false;
  if (kind_ == Kind::Private) {
    items_ = std::move(items);
  } else {
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!clipboard) return false;
    // The clipboard takes ownership of what it is given.
    if (items.isEmpty())
      clipboard->clear();
    else
      clipboard->setMimeData(PasteboardMimeCodec::encode(items));
  }
  ++changeCount_;
  return true;
}

QStringList Pasteboard::types() const {
  QStringList types;
  bool files = false;
  for (const PasteboardItem& item : pasteboardItems())
    for (const QString& type : item.types()) {
      files = files || type == PasteboardTypeFileURL;
      if (!types.contains(type)) types << type;
    }
  if (files) types << FilenamesPboardType;
  return types;
}

long Pasteboard::clearContents() {
  setItems({});
  return changeCount_;
}

void Pasteboard::setData(const QByteArray& data, const QString& type) {
  QList<PasteboardItem> items = pasteboardItems();
  if (items.isEmpty()) items.append(PasteboardItem());
  items.first().setDataForType(data, type);
  setItems(std::move(items));
}

QByteArray Pasteboard::dataForType(const QString& type) const {
  const QList<PasteboardItem> items = pasteboardItems();
  if (type == FilenamesPboardType) {
    QVariantList paths;
    for (const PasteboardItem& item : items)
      if (item.hasType(PasteboardTypeFileURL))
        paths << QUrl::fromEncoded(item.dataForType(PasteboardTypeFileURL)).toLocalFile();
    if (paths.isEmpty()) return {};
    return fnd::PropertyList::dataWithPropertyList(paths, fnd::PropertyListFormat::XML);
  }
  for (const PasteboardItem& item : items)
    if (item.hasType(type)) return item.dataForType(type);
  return {};
}

bool Pasteboard::setPropertyList(const QVariant& propertyList, const QString& type) {
  const QByteArray bytes =
      fnd::PropertyList::dataWithPropertyList(propertyList, fnd::PropertyListFormat::XML);
  if (bytes.isEmpty()) return false;
  setData(bytes, type);
  return true;
}

QVariant Pasteboard::propertyListForType(const QString& type) const {
  const QByteArray bytes = dataForType(type);
  if (bytes.isEmpty()) return {};
  return fnd::PropertyList::propertyListWithData(bytes);
}

bool Pasteboard::setString(const QString& string, const QString& type) {
  setData(string.toUtf8(), type);
  return kind_ != Kind::View;
}

QString Pasteboard::stringForType(const QString& type) const {
  return QString::fromUtf8(dataForType(type));
}

}  // namespace ui
