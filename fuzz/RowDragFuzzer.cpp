// Fuzzes what a list does with the rows another program (or a forged drag)
// names: the drag's private pasteboard format is decoded into items, the
// last item's row indexes are read and the rows moved as a drop of the
// list's own rows would move them. Whatever the bytes, the list must keep
// exactly its objects, in some order, with the moved ones selected.
#include <QSet>
#include <cstdlib>

#include "FuzzSupport.h"
#include "RowDragList.h"
#include "appkit/core/PasteboardMimeCodec.h"
#include "window/IMGenericArrayController.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static RowDragList list;
  QList<ui::PasteboardItem> items;
  if (!ui::PasteboardMimeCodec::decodeItems(fuzz::bytes(data, size), &items) || items.isEmpty())
    return 0;
  const QVariantList rows = items.last().propertyListForType(kObjectMoveType).toList();
  const fnd::IndexSet indexes = IMGenericArrayController::indexSetFromRows(rows);
  IMGenericArrayController controller;
  controller.setContent(list.objects);
  // The drop row comes with the drop; here the size of the input picks it.
  controller.moveObjectsInArrangedObjectsFromIndexes(indexes, int(size % 9) - 1);
  const cd::ObjectList arranged = controller.arrangedObjects();
  const QSet<cd::ManagedObject*> kept(arranged.begin(), arranged.end());
  if (arranged.size() != list.objects.size() ||
      kept != QSet<cd::ManagedObject*>(list.objects.begin(), list.objects.end()))
    std::abort();
  if (controller.selectionIndexes().count() > arranged.size()) std::abort();
  return 0;
}
