#include "appkit/core/Pasteboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

#include "foundation/PropertyList.h"

namespace ui {

Pasteboard::Pasteboard() : general_(false), private_(std::make_unique<QMimeData>()) {}

Pasteboard::Pasteboard(GeneralTag) : general_(true) {}

Pasteboard::~Pasteboard() = default;

Pasteboard& Pasteboard::generalPasteboard() {
  static Pasteboard general{GeneralTag{}};
  return general;
}

const QMimeData* Pasteboard::contents() const {
  if (!general_) return private_.get();
  QClipboard* clipboard = QGuiApplication::clipboard();
  return clipboard ? clipboard->mimeData() : nullptr;
}

QStringList Pasteboard::types() const {
  const QMimeData* data = contents();
  return data ? data->formats() : QStringList();
}

void Pasteboard::clearContents() {
  if (!general_) {
    private_ = std::make_unique<QMimeData>();
  } else if (QClipboard* clipboard = QGuiApplication::clipboard()) {
    clipboard->clear();
  }
}

void Pasteboard::setData(const QByteArray& bytes, const QString& type) {
  if (!general_) {
    private_->setData(type, bytes);
    return;
  }
  QClipboard* clipboard = QGuiApplication::clipboard();
  if (!clipboard) return;
  // The clipboard owns the item it is given, so the other types are copied
  // into a new one rather than edited in place.
  auto* item = new QMimeData;
  if (const QMimeData* current = clipboard->mimeData())
    for (const QString& format : current->formats())
      if (format != type) item->setData(format, current->data(format));
  item->setData(type, bytes);
  clipboard->setMimeData(item);
}

QByteArray Pasteboard::dataForType(const QString& type) const {
  const QMimeData* data = contents();
  return data && data->hasFormat(type) ? data->data(type) : QByteArray();
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

}  // namespace ui
