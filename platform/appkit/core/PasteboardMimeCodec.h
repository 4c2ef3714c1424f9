// Pasteboard items to and from QMimeData, the form the clipboard and drags
// carry. Every item goes into one private format (a binary property list:
// per item an array of alternating type names and data); the first items'
// standard types also go under their MIME types for other programs. Data
// without the private format (another program's) becomes items as well.
#pragma once

#include <QList>

#include "appkit/core/PasteboardItem.h"

class QMimeData;

namespace ui {

class PasteboardMimeCodec {
 public:
  static QMimeData* encode(const QList<PasteboardItem>& items);
  static QList<PasteboardItem> decode(const QMimeData* data);

  // The private format alone; empty items list (and false) for bytes that
  // are not a well-formed list of items.
  static QByteArray encodeItems(const QList<PasteboardItem>& items);
  static bool decodeItems(const QByteArray& bytes, QList<PasteboardItem>* items);

  // PNG bytes of the item's best image type; empty when it holds none.
  static QByteArray pngOfItem(const PasteboardItem& item);
};

}  // namespace ui
