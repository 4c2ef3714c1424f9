// The pasteboard: items, each holding the same thing under several types.
// The general pasteboard is the desktop's clipboard (QClipboard): all items
// travel in one private MIME format, and the standard types of the first
// items also under their MIME types (the first image as image/png, file URLs
// as text/uri-list, text as text/plain) so other programs can paste them.
// Drags carry the same QMimeData; a private pasteboard lives in memory.
#pragma once

#include <QByteArray>
#include <QList>
#include <QStringList>
#include <QUrl>
#include <QVariant>
#include <memory>
#include <variant>

#include "appkit/core/PasteboardItem.h"
#include "appkit/core/PasteboardTypes.h"
#include "graphics/Image.h"

class QMimeData;

namespace ui {

// What writeObjects takes and readObjectsForClasses gives back.
using PasteboardObject = std::variant<PasteboardItem, gfx::ImagePtr, QUrl, QString>;

// The kinds of objects readObjectsForClasses can make from an item.
enum class PasteboardClass { Item, Image, URL, String };

class Pasteboard {
 public:
  // A private pasteboard, not shared with other programs.
  Pasteboard();
  ~Pasteboard();
  Pasteboard(const Pasteboard&) = delete;
  Pasteboard& operator=(const Pasteboard&) = delete;

  // The system clipboard; needs a running QGuiApplication.
  static Pasteboard& generalPasteboard();
  // The private pasteboard a drag source writes before it starts the drag
  // with dragMimeData().
  static Pasteboard& dragPasteboard();
  // A read-only view of a drop's data (or any QMimeData), which must
  // outlive the view.
  static std::unique_ptr<Pasteboard> pasteboardWithMimeData(const QMimeData* data);

  // The contents as a new QMimeData for a QDrag, which takes it.
  QMimeData* dragMimeData() const;

  QList<PasteboardItem> pasteboardItems() const;
  // Every type of every item, in item order, without repeats.
  QStringList types() const;
  // Counts writes, as the clipboard's change count does; a view counts none.
  long changeCount() const { return changeCount_; }
  long clearContents();
  // Adds the objects as new items after those already there. False (and
  // nothing written) when an object cannot be written or the pasteboard is a
  // read-only view.
  bool writeObjects(const QList<PasteboardObject>& objects);
  // The most bytes of pixels one image written here may hold: a write with a
  // larger image is refused whole. By default what the TIFF every image item
  // promises can hold (4 GiB); lower for a pasteboard that must stay small.
  qint64 maximumImageBytes() const { return maximumImageBytes_; }
  void setMaximumImageBytes(qint64 bytes) { maximumImageBytes_ = bytes; }
  // For each item, an object of the first class in `classes` that can read
  // it; items no class reads are skipped. Options: see PasteboardTypes.h.
  QList<PasteboardObject> readObjectsForClasses(const QList<PasteboardClass>& classes,
                                                const QVariantMap& options = {}) const;

  // The type-level calls act on the first item (writes create it); reads
  // take the first item holding the type.
  void setData(const QByteArray& data, const QString& type);
  QByteArray dataForType(const QString& type) const;
  // Property lists travel as XML property-list text, as the desktop's
  // pasteboards carry them; false when the value is not a property list.
  bool setPropertyList(const QVariant& propertyList, const QString& type);
  // Null when the type is absent or its bytes are no property list.
  QVariant propertyListForType(const QString& type) const;
  bool setString(const QString& string, const QString& type);
  QString stringForType(const QString& type) const;

 private:
  enum class Kind { Private, General, View };
  explicit Pasteboard(Kind kind, const QMimeData* view = nullptr);

  bool setItems(QList<PasteboardItem> items);

  const Kind kind_;
  const QMimeData* view_ = nullptr;
  QList<PasteboardItem> items_;  // a private pasteboard's
  long changeCount_ = 0;
  qint64 maximumImageBytes_ = qint64(1) << 32;
};

}  // namespace ui
