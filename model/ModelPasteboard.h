// The pasteboard as the model sees it: typed items of bytes under their type
// names ("com.brenwick.filters.copy"), either the system clipboard (QtGui's
// QClipboard and QMimeData, one MIME-like format per type) or a private
// in-memory item such as the one a drag carries.
#pragma once

#include <QByteArray>
#include <QStringList>
#include <QVariant>
#include <memory>

class QMimeData;

// The type of the archived filters a filters list writes and a layer reads.
inline const QString IMFiltersPasteboardType = QStringLiteral("com.brenwick.filters.copy");

class ModelPasteboard {
 public:
  // A private pasteboard, not shared with other programs.
  ModelPasteboard();
  ~ModelPasteboard();
  ModelPasteboard(const ModelPasteboard&) = delete;
  ModelPasteboard& operator=(const ModelPasteboard&) = delete;

  // The system clipboard; needs a running QGuiApplication.
  static ModelPasteboard& generalPasteboard();

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
  explicit ModelPasteboard(GeneralTag);
  const QMimeData* contents() const;

  const bool general_;
  std::unique_ptr<QMimeData> private_;
};
