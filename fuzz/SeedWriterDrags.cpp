// Row drags as the document window's lists write them: the rows' names
// first, one item each, then the item naming the rows.
#include "RowDragList.h"
#include "SeedWriter.h"
#include "appkit/core/Pasteboard.h"
#include "appkit/core/PasteboardMimeCodec.h"
#include "window/IMGenericArrayController.h"

namespace {

class NamesList : public IMGenericArrayController {
 public:
  QString rowCopiedDataKeyPath() const override { return "name"; }
};

}  // namespace

void SeedWriter::writeRowDrags() {
  RowDragList list;
  NamesList controller;
  controller.setContent(list.objects);
  const QList<QList<int>> drags = {{0}, {1, 3}, {0, 1, 2, 3, 4}, {4}};
  for (const QList<int>& rows : drags) {
    ui::Pasteboard pasteboard;
    if (!controller.tableViewWriteRowsWithIndexes(nullptr, fnd::IndexSet::fromList(rows),
                                                  pasteboard))
      return fail("a row drag could not be written");
    QString name = "rows";
    for (int row : rows) name += "-" + QString::number(row);
    write("row_drag", name + ".items",
          ui::PasteboardMimeCodec::encodeItems(pasteboard.pasteboardItems()));
  }
}
