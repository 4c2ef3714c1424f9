#include "model/ModelPasteboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

#include "foundation/PropertyList.h"

ModelPasteboard::ModelPasteboard() : general_(false), private_(std::make_unique<QMimeData>()) {}

ModelPasteboard::ModelPasteboard(GeneralTag) : general_(true) {}

ModelPasteboard::~ModelPasteboard() = default;

ModelPasteboard& ModelPasteboard::generalPasteboard() {
  static ModelPasteboard general{GeneralTag{}};
  return general;
}

const QMimeData* ModelPasteboard::contents() const {
  if (!general_) return private_.get();
  QClipboard* clipboard = QGuiApplication::clipboard();
  return clipboard ? clipboard->mimeData() : nullptr;
}

QStringList ModelPasteboard::types() const {
  const QMimeData* data = contents();
  return data ? data->formats() : QStringList();
}

void ModelPasteboard::clearContents() {
  if (!general_) {
    private_ = std::make_unique<QMimeData>();
  } else if (QClipboard* clipboard = QGuiApplication::clipboard()) {
    clipboard->clear();
  }
}

void ModelPasteboard::setData(const QByteArray& bytes, const QString& type) {
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

QByteArray ModelPasteboard::dataForType(const QString& type) const {
  const QMimeData* data = contents();
  return data && data->hasFormat(type) ? data->data(type) : QByteArray();
}

bool ModelPasteboard::setPropertyList(const QVariant& propertyList, const QString& type) {
  const QByteArray bytes =
      fnd::PropertyList::dataWithPropertyList(propertyList, fnd::PropertyListFormat::XML);
  if (bytes.isEmpty()) return false;
  setData(bytes, type);
  return true;
}

QVariant ModelPasteboard::propertyListForType(const QString& type) const {
  const QByteArray bytes = dataForType(type);
  if (bytes.isEmpty()) return {};
  return fnd::PropertyList::propertyListWithData(bytes);
}
