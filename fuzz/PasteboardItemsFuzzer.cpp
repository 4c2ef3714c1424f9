// Fuzzes the pasteboard's private item format as a drop or the clipboard
// hands it over: the items are read as every kind of object, and what is
// accepted must write and read back the same.
#include <QMimeData>

#include "FuzzSupport.h"
#include "appkit/core/Pasteboard.h"
#include "appkit/core/PasteboardMimeCodec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const QByteArray bytes = fuzz::bytes(data, size);
  QList<ui::PasteboardItem> items;
  if (!ui::PasteboardMimeCodec::decodeItems(bytes, &items)) return 0;
  QList<ui::PasteboardItem> again;
  if (!ui::PasteboardMimeCodec::decodeItems(ui::PasteboardMimeCodec::encodeItems(items), &again) ||
      again != items)
    __builtin_trap();
  QMimeData mime;
  mime.setData(ui::PasteboardItemsMimeType, bytes);
  auto view = ui::Pasteboard::pasteboardWithMimeData(&mime);
  view->types();
  view->dataForType(ui::FilenamesPboardType);
  view->readObjectsForClasses(
      {ui::PasteboardClass::Image, ui::PasteboardClass::URL, ui::PasteboardClass::String},
      {{ui::PasteboardURLReadingFileURLsOnlyKey, true},
       {ui::PasteboardURLReadingContentsConformToTypesKey, QStringList{"public.image"}}});
  delete view->dragMimeData();
  return 0;
}
