// The pasteboard: typed items of bytes under their type names, either the
// system clipboard (QtGui's QClipboard and QMimeData, one MIME-like format per
// type) or a private in-memory item such as the one a drag carries.
#pragma once

#include <QByteArray>
#include <QStringList>
#include <QVariant>
#include <memory>

class QMimeData;

namespace ui {

class Pasteboard {
 public:
  // A private pasteboard, not shared with other programs.
  Pasteboard();
  ~Pasteboard();
  Pasteboard(const Pasteboard&) = delete;
  Pasteboard& operator=(const Pasteboard&) = delete;

  // The system clipboard; needs a running QGuiApplication.
  static Pasteboard& generalPasteboard();

  QStringList types() const;
  void clearContents();
  // Adds or replaces one type, keeping the others.
  void setData(const QByteArray& data, const QString& type);
  QByteArray dataForType(const QString& type) const;
  // Property lists travel as XML property-list text, as the desktop's
  // pasteboards carry them; false when the value is not a property list.
  bool setPropertyList(const QVariant& propertyList, const QString& type);
  // Null when the type is absent or its bytes are no property list.
  QVariant propertyListForType(const QString& type) const;

 private:
  struct GeneralTag {};
  explicit Pasteboard(GeneralTag);
  const QMimeData* contents() const;

  const bool general_;
  std::unique_ptr<QMimeData> private_;
};

}  // namespace ui
