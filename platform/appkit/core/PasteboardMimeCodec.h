// Pasteboard items to and from QMimeData, the form the clipboard and drags
// carry. The QMimeData made here holds the items themselves, which readers
// in this process take back as they are; for other programs it offers every
// item in one private format (a binary property list: per item an array of
// alternating type names and data), the first item's types under their MIME
// types, the first image as PNG, the files as a URI list and the first text
// as plain text, each made only when asked for. Data from another program
// becomes items as well.
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
  // PNG bytes of the image's best bitmap; empty for no image.
  static QByteArray pngOfImage(const gfx::ImagePtr& image);
};

}  // namespace ui
